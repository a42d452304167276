// System: useCodepage, exactSettings, capabilities (what this player is
// and can do), security and IME; and the player-facing globals getVersion
// and updateAfterEvent.

#include "swf/avm1/builtins/Builtins.h"
#include "swf/avm1/vm/Interpreter.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace swf::avm1 {

QString Builtins::playerVersion()
{
    return QStringLiteral("LNX 8,0,0,0");
}

Value Builtins::refuse(Interpreter&, CallArgs&)
{
    return Value(false);
}

Value Builtins::nothing(Interpreter&, CallArgs&)
{
    return Value();
}

namespace {

void defineCapabilities(Object* caps)
{
    const uint8_t fixed = DontDelete | ReadOnly;
    // What this player is and what it can do; a render run has no screen, so
    // it reports a common desktop size then.
    int width = 1024, height = 768;
    double dpi = 72;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            width = screen->size().width();
            height = screen->size().height();
            dpi = std::round(screen->logicalDotsPerInch());
        }
    }
    auto cap = [&](const char* name, const Value& v) { caps->define(QString::fromLatin1(name), v, fixed); };
    cap("avHardwareDisable", Value(true));
    cap("hasAccessibility", Value(false));
    cap("hasAudio", Value(true));
    cap("hasAudioEncoder", Value(false));
    cap("hasEmbeddedVideo", Value(false));
    cap("hasMP3", Value(true));
    cap("hasPrinting", Value(false));
    cap("hasScreenBroadcast", Value(false));
    cap("hasScreenPlayback", Value(false));
    cap("hasStreamingAudio", Value(true));
    cap("hasStreamingVideo", Value(false));
    cap("hasVideoEncoder", Value(false));
    cap("isDebugger", Value(false));
    cap("language", Value(QStringLiteral("zh-CN")));
    cap("localFileReadDisable", Value(true));
    cap("manufacturer", Value(QStringLiteral("Vantrel Linux")));
    cap("os", Value(QStringLiteral("Linux")));
    cap("pixelAspectRatio", Value(1.0));
    cap("playerType", Value(QStringLiteral("StandAlone")));
    cap("screenColor", Value(QStringLiteral("color")));
    cap("screenDPI", Value(dpi));
    cap("screenResolutionX", Value(double(width)));
    cap("screenResolutionY", Value(double(height)));
    cap("version", Value(Builtins::playerVersion()));
    cap("serverString", Value(QStringLiteral("A=t&SA=t&SV=f&EV=f&MP3=t&AE=f&VE=f&ACC=f&PR=f&SP=f&SB=f&DEB=f&V=LNX%208%2C0%2C0%2C0"
                                              "&M=Vantrel%20Linux&R=%1x%2&DP=%3&COL=color&AR=1.0&OS=Linux&L=zh-CN&PT=StandAlone&AVD=t&LFD=t")
                                   .arg(width).arg(height).arg(dpi)));

}

} // namespace

static Value globalGetVersion(Interpreter&, CallArgs&)
{
    return Value(Builtins::playerVersion());
}

static Value imeGetConversionMode(Interpreter&, CallArgs&)
{
    return Value(QStringLiteral("UNKNOWN"));
}

const NativeMethod playerFunctions[] = {
    { "getVersion", globalGetVersion },
    // The stage redraws after every frame anyway.
    { "updateAfterEvent", Builtins::nothing },
};

const NativeMethod systemStaticMethods[] = {
    { "setClipboard", Builtins::refuse },
    { "showSettings", Builtins::nothing },
};

const NativeMethod securityStaticMethods[] = {
    { "allowDomain", Builtins::nothing },
    { "allowInsecureDomain", Builtins::nothing },
    { "loadPolicyFile", Builtins::nothing },
};

// No input method editor is ever attached to the movie.
const NativeMethod imeStaticMethods[] = {
    { "getEnabled", Builtins::refuse },
    { "setEnabled", Builtins::refuse },
    { "getConversionMode", imeGetConversionMode },
    { "setConversionMode", Builtins::refuse },
    { "setCompositionString", Builtins::refuse },
    { "doConversion", Builtins::refuse },
    { "addListener", Builtins::refuse },
    { "removeListener", Builtins::refuse },
};

void Builtins::installPlayerFunctions(Interpreter& vm)
{
    vm.defineMethods(vm.global(), playerFunctions);
}

void Builtins::installSystem(Interpreter& vm)
{
    Object* system = vm.newObject();
    vm.global()->define(QStringLiteral("System"), Value(system), DontEnum);
    system->define(QStringLiteral("useCodepage"), Value(false), 0);
    system->define(QStringLiteral("exactSettings"), Value(vm.version() >= 7), 0);
    vm.defineMethods(system, systemStaticMethods);

    Object* caps = vm.newObject();
    system->define(QStringLiteral("capabilities"), Value(caps), 0);
    defineCapabilities(caps);

    Object* security = vm.newObject();
    system->define(QStringLiteral("security"), Value(security), 0);
    vm.defineMethods(security, securityStaticMethods);

    Object* ime = vm.newObject();
    system->define(QStringLiteral("IME"), Value(ime), 0);
    const std::pair<const char*, const char*> modes[] = {
        { "ALPHANUMERIC_FULL", "ALPHANUMERIC_FULL" }, { "ALPHANUMERIC_HALF", "ALPHANUMERIC_HALF" },
        { "CHINESE", "CHINESE" }, { "JAPANESE_HIRAGANA", "JAPANESE_HIRAGANA" },
        { "JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_FULL" }, { "JAPANESE_KATAKANA_HALF", "JAPANESE_KATAKANA_HALF" },
        { "KOREAN", "KOREAN" }, { "UNKNOWN", "UNKNOWN" },
    };
    for (const auto& [name, value] : modes)
        ime->define(QString::fromLatin1(name), Value(QString::fromLatin1(value)), DontEnum | DontDelete | ReadOnly);
    vm.defineMethods(ime, imeStaticMethods);
}

} // namespace swf::avm1
