#include "swf/avm1/stage/TextFieldObject.h"

#include "swf/avm1/builtins/NativeText.h"

#include "swf/runtime/SpriteInstance.h"
#include "swf/avm1/vm/Interpreter.h"
#include "swf/avm1/stage/SpriteClip.h"
#include "swf/avm1/stage/StageScripts.h"
#include "swf/avm1/stage/TextFieldScripts.h"

#include <QHash>

#include <algorithm>
#include <climits>
#include <cmath>

namespace swf::avm1 {

namespace {

enum class Prop {
    None, Text, HtmlText, Html, TextColor, TextWidth, TextHeight, AutoSize, Border, BorderColor, Background,
    BackgroundColor, Multiline, WordWrap, Selectable, Type, Variable, MaxChars, Password, EmbedFonts, Length,
    Scroll, MaxScroll, BottomScroll, HScroll, MaxHScroll,
    X, Y, XScale, YScale, Width, Height, Alpha, Visible, Name, Target, Parent, Rotation, XMouse, YMouse,
    HighQuality, Quality, FocusRect, SoundBufTime, Url,
};

Prop propOf(const QString& name)
{
    static const QHash<QString, Prop> table = {
        { "text", Prop::Text }, { "htmltext", Prop::HtmlText }, { "html", Prop::Html }, { "textcolor", Prop::TextColor },
        { "textwidth", Prop::TextWidth }, { "textheight", Prop::TextHeight }, { "autosize", Prop::AutoSize },
        { "border", Prop::Border }, { "bordercolor", Prop::BorderColor }, { "background", Prop::Background },
        { "backgroundcolor", Prop::BackgroundColor }, { "multiline", Prop::Multiline }, { "wordwrap", Prop::WordWrap },
        { "selectable", Prop::Selectable }, { "type", Prop::Type }, { "variable", Prop::Variable },
        { "maxchars", Prop::MaxChars }, { "password", Prop::Password }, { "embedfonts", Prop::EmbedFonts },
        { "length", Prop::Length }, { "scroll", Prop::Scroll }, { "maxscroll", Prop::MaxScroll },
        { "bottomscroll", Prop::BottomScroll }, { "hscroll", Prop::HScroll }, { "maxhscroll", Prop::MaxHScroll },
        { "_x", Prop::X }, { "_y", Prop::Y }, { "_xscale", Prop::XScale }, { "_yscale", Prop::YScale },
        { "_width", Prop::Width }, { "_height", Prop::Height }, { "_alpha", Prop::Alpha }, { "_visible", Prop::Visible },
        { "_name", Prop::Name }, { "_target", Prop::Target }, { "_parent", Prop::Parent }, { "_rotation", Prop::Rotation },
        { "_xmouse", Prop::XMouse }, { "_ymouse", Prop::YMouse }, { "_highquality", Prop::HighQuality },
        { "_quality", Prop::Quality }, { "_focusrect", Prop::FocusRect }, { "_soundbuftime", Prop::SoundBufTime },
        { "_url", Prop::Url },
    };
    return table.value(name.toLower(), Prop::None);
}

// Property names are case-sensitive from version 7 on, like every other name.
Prop lookup(const Object& self, const QString& name)
{
    Prop p = propOf(name);
    if (p == Prop::None || !self.caseSensitive())
        return p;
    static const QHash<Prop, QString> exact = [] {
        QHash<Prop, QString> h;
        const char* names[] = { "text", "htmlText", "html", "textColor", "textWidth", "textHeight", "autoSize", "border",
            "borderColor", "background", "backgroundColor", "multiline", "wordWrap", "selectable", "type", "variable",
            "maxChars", "password", "embedFonts", "length", "scroll", "maxscroll", "bottomScroll", "hscroll", "maxhscroll",
            "_x", "_y", "_xscale", "_yscale", "_width", "_height", "_alpha", "_visible", "_name", "_target", "_parent",
            "_rotation", "_xmouse", "_ymouse", "_highquality", "_quality", "_focusrect", "_soundbuftime", "_url" };
        for (const char* n : names)
            h.insert(propOf(QString::fromLatin1(n)), QString::fromLatin1(n));
        return h;
    }();
    return exact.value(p) == name ? p : Prop::None;
}

QString autoSizeName(AutoSize mode)
{
    switch (mode) {
    case AutoSize::Left: return QStringLiteral("left");
    case AutoSize::Center: return QStringLiteral("center");
    case AutoSize::Right: return QStringLiteral("right");
    case AutoSize::None: break;
    }
    return QStringLiteral("none");
}

double pixels(double twips)
{
    return twips / 20;
}

QRgb rgbOf(Interpreter& vm, const Value& v)
{
    return 0xff000000u | (toUint32(vm.toNumber(v)) & 0xffffff);
}

} // namespace

QString scriptTextOf(const EditTextInstance& field)
{
    QString text = field.plainText();
    text.replace(u'\n', u'\r');
    return text;
}

TextFieldObject::TextFieldObject(TextFieldScripts* registry, EditTextInstance* field, Object* proto, bool caseSensitive)
    : Object(Kind::Plain, proto, caseSensitive)
    , m_registry(registry)
    , m_field(field)
{
    if (m_field)
        m_field->setPeer(this);
    if (m_registry)
        m_registry->adopt(this);
}

TextFieldObject::~TextFieldObject()
{
    if (m_field)
        m_field->setPeer(nullptr);
    if (m_registry)
        m_registry->release(this);
}

void TextFieldObject::forget()
{
    if (m_field)
        m_field->setPeer(nullptr);
    m_field = nullptr;
    m_registry = nullptr;
}

// Movies before version 6 know text fields only as display objects: the
// text properties are plain members there, which neither read nor change the
// field.
static bool inertIn(const Interpreter& vm, const QString& name)
{
    return vm.version() < 6 && !name.startsWith(u'_');
}

bool TextFieldObject::getVirtual(Interpreter& vm, const QString& name, Value& out)
{
    const Prop prop = lookup(*this, name);
    if (prop == Prop::None || inertIn(vm, name))
        return false;
    EditTextInstance* f = m_field;
    if (!f) {
        out = Value();
        return true;
    }
    if (m_registry && (prop == Prop::Text || prop == Prop::HtmlText || prop == Prop::Length))
        m_registry->pullVariable(*f); // a bound variable set this frame shows at once
    const EditTextRecord& r = f->record();
    const Matrix& m = f->matrix();
    switch (prop) {
    case Prop::Text: out = Value(scriptTextOf(*f)); break;
    case Prop::HtmlText: out = Value(f->isHtml() ? f->htmlText() : scriptTextOf(*f)); break;
    case Prop::Html: out = Value(f->isHtml()); break;
    case Prop::TextColor: {
        QColor c = f->spans().empty() ? f->newTextStyle().color : f->spans().front().style.color;
        out = Value(double(c.rgb() & 0xffffff));
        break;
    }
    case Prop::TextWidth: out = Value(std::round(f->layout().textWidth) / 20); break;
    case Prop::TextHeight: out = Value(std::round(f->layout().textHeight) / 20); break;
    case Prop::AutoSize: out = Value(autoSizeName(f->autoSize())); break;
    case Prop::Border: out = Value(f->border()); break;
    case Prop::BorderColor: out = Value(double(f->borderColor() & 0xffffff)); break;
    case Prop::Background: out = Value(f->background()); break;
    case Prop::BackgroundColor: out = Value(double(f->backgroundColor() & 0xffffff)); break;
    case Prop::Multiline: out = Value(r.multiline); break;
    case Prop::WordWrap: out = Value(r.wordWrap); break;
    case Prop::Selectable: out = Value(!r.noSelect); break;
    case Prop::Type: out = Value(r.readOnly ? QStringLiteral("dynamic") : QStringLiteral("input")); break;
    case Prop::Variable: out = r.variableName.isEmpty() ? Value::null() : Value(r.variableName); break;
    case Prop::MaxChars: out = r.maxLength > 0 ? Value(double(r.maxLength)) : Value::null(); break;
    case Prop::Password: out = Value(r.password); break;
    case Prop::EmbedFonts: out = Value(r.useOutlines); break;
    case Prop::Length: out = Value(double(f->plainText().size())); break;
    case Prop::Scroll: out = Value(double(f->scroll())); break;
    case Prop::MaxScroll: out = Value(double(f->maxScroll())); break;
    case Prop::BottomScroll: out = Value(double(f->scroll() + f->visibleLines() - 1)); break;
    case Prop::HScroll: out = Value(std::round(pixels(f->hscroll()))); break;
    case Prop::MaxHScroll: out = Value(std::round(pixels(f->maxHScroll()))); break;
    case Prop::X: out = Value(pixels(m.tx)); break;
    case Prop::Y: out = Value(pixels(m.ty)); break;
    case Prop::XScale: out = Value(std::hypot(m.a, m.b) * 100); break;
    case Prop::YScale: out = Value(std::hypot(m.c, m.d) * 100); break;
    case Prop::Rotation: out = Value(std::atan2(m.b, m.a) * 180 / M_PI); break;
    case Prop::Width: out = Value(pixels((r.bounds.xMax - r.bounds.xMin) * std::hypot(m.a, m.b))); break;
    case Prop::Height: out = Value(pixels((r.bounds.yMax - r.bounds.yMin) * std::hypot(m.c, m.d))); break;
    case Prop::Alpha: out = Value(f->colorTransform().aMul * 100); break;
    case Prop::Visible: out = Value(f->isVisible()); break;
    case Prop::Name: out = Value(f->name()); break;
    case Prop::Target:
    case Prop::Parent: {
        SpriteClip* parent = m_registry && f->parent() ? m_registry->owner().clipFor(*f->parent()) : nullptr;
        if (prop == Prop::Parent) {
            out = parent ? Value(static_cast<Object*>(parent)) : Value();
        } else {
            QString base = parent ? parent->slashPath() : QStringLiteral("/");
            out = Value(base.endsWith(u'/') ? base + f->name() : base + u'/' + f->name());
        }
        break;
    }
    case Prop::XMouse:
    case Prop::YMouse: out = Value(0.0); break;
    case Prop::HighQuality: out = Value(1.0); break;
    case Prop::Quality: out = Value(QStringLiteral("HIGH")); break;
    case Prop::FocusRect: out = Value(true); break;
    case Prop::SoundBufTime: out = Value(5.0); break;
    case Prop::Url: out = Value(QString()); break;
    case Prop::None: return false;
    }
    (void)vm;
    return true;
}

bool TextFieldObject::setVirtual(Interpreter& vm, const QString& name, const Value& value)
{
    const Prop prop = lookup(*this, name);
    if (prop == Prop::None || inertIn(vm, name))
        return false;
    EditTextInstance* f = m_field;
    if (!f)
        return true;
    auto number = [&] { return vm.toNumber(value); };
    auto flag = [&] { return vm.toBoolean(value); };
    switch (prop) {
    // Text set by a script is an object's toString answer, or its type name.
    case Prop::Text:
        f->setPlainText(nativeText(vm, value));
        if (m_registry)
            m_registry->pushVariable(*f);
        break;
    case Prop::HtmlText:
        if (f->isHtml())
            f->setHtmlText(nativeText(vm, value));
        else
            f->setPlainText(nativeText(vm, value));
        if (m_registry)
            m_registry->pushVariable(*f);
        break;
    case Prop::Html: {
        const bool on = flag();
        f->changeRecord([&](EditTextRecord& r) { r.html = on; });
        f->setSpans(std::vector<StyledSpan>(f->spans()));
        break;
    }
    case Prop::TextColor: {
        const QRgb rgb = rgbOf(vm, value);
        std::vector<StyledSpan> spans = f->spans();
        for (StyledSpan& s : spans)
            s.style.color = QColor::fromRgb(rgb);
        TextStyle style = f->newTextStyle();
        style.color = QColor::fromRgb(rgb);
        f->setNewTextStyle(style);
        f->setSpans(std::move(spans));
        break;
    }
    case Prop::AutoSize: {
        AutoSize mode = AutoSize::None;
        if (value.isBoolean()) {
            mode = value.asBoolean() ? AutoSize::Left : AutoSize::None;
        } else {
            const QString s = vm.toString(value).toLower();
            mode = s == u"left" ? AutoSize::Left : s == u"center" ? AutoSize::Center : s == u"right" ? AutoSize::Right : AutoSize::None;
        }
        f->setAutoSize(mode);
        break;
    }
    case Prop::Border: f->setBorder(flag()); break;
    case Prop::BorderColor: f->setBorderColor(rgbOf(vm, value)); break;
    case Prop::Background: f->setBackground(flag()); break;
    case Prop::BackgroundColor: f->setBackgroundColor(rgbOf(vm, value)); break;
    case Prop::Multiline: { bool on = flag(); f->changeRecord([&](EditTextRecord& r) { r.multiline = on; }, !f->isHtml()); break; }
    case Prop::WordWrap: { bool on = flag(); f->changeRecord([&](EditTextRecord& r) { r.wordWrap = on; }); break; }
    case Prop::Selectable: { bool on = flag(); f->changeRecord([&](EditTextRecord& r) { r.noSelect = !on; }); break; }
    case Prop::Type: {
        const QString s = vm.toString(value).toLower();
        if (s == u"input" || s == u"dynamic")
            f->changeRecord([&](EditTextRecord& r) { r.readOnly = s == u"dynamic"; });
        break;
    }
    case Prop::Variable: {
        const QString var = value.isNullish() ? QString() : vm.toString(value);
        f->setVariableName(var);
        if (m_registry)
            m_registry->pullVariable(*f, true);
        break;
    }
    case Prop::MaxChars: {
        double n = value.isNullish() ? 0 : number();
        int limit = std::isfinite(n) && n > 0 ? clampToInt(n) : 0;
        f->changeRecord([&](EditTextRecord& r) { r.maxLength = limit; });
        break;
    }
    case Prop::Password: { bool on = flag(); f->changeRecord([&](EditTextRecord& r) { r.password = on; }); break; }
    case Prop::EmbedFonts: { bool on = flag(); f->changeRecord([&](EditTextRecord& r) { r.useOutlines = on; }); break; }
    case Prop::Scroll: { double n = number(); if (std::isfinite(n)) f->setScroll(clampToInt(n)); break; }
    case Prop::HScroll: { double n = number(); if (std::isfinite(n)) f->setHScroll(n * 20); break; }
    case Prop::X:
    case Prop::Y:
    case Prop::XScale:
    case Prop::YScale:
    case Prop::Rotation: {
        const double n = number();
        // A position is kept in whole twips of 32 bits: an infinite one
        // wraps to 0 like any number too large; NaN, undefined and null
        // (0 in older movies) change nothing.
        if (std::isnan(n) || value.isNullish() || (!std::isfinite(n) && prop != Prop::X && prop != Prop::Y))
            break;
        Matrix m = f->matrix();
        if (prop == Prop::X) {
            m.tx = toInt32(n * 20);
        } else if (prop == Prop::Y) {
            m.ty = toInt32(n * 20);
        } else if (prop == Prop::Rotation) {
            const double sx = std::hypot(m.a, m.b), sy = std::hypot(m.c, m.d), rad = n * M_PI / 180;
            m.a = sx * std::cos(rad); m.b = sx * std::sin(rad);
            m.c = -sy * std::sin(rad); m.d = sy * std::cos(rad);
        } else {
            const bool x = prop == Prop::XScale;
            double& p = x ? m.a : m.d;
            double& q = x ? m.b : m.c;
            const double len = std::hypot(p, q);
            if (len == 0) {
                p = n / 100;
                q = 0;
            } else {
                p = p / len * n / 100;
                q = q / len * n / 100;
            }
        }
        f->setMatrix(m);
        break;
    }
    case Prop::Width:
    case Prop::Height: {
        // A field's size is its box: setting it moves the box edge, never scales the text.
        // The box is whole twips of 32 bits too: a size too large wraps,
        // an infinite one is 0; NaN, undefined, null and negative sizes
        // change nothing.
        const double n = number();
        if (std::isnan(n) || n < 0 || value.isNullish())
            break;
        const Matrix& m = f->matrix();
        const double scale = prop == Prop::Width ? std::hypot(m.a, m.b) : std::hypot(m.c, m.d);
        if (scale == 0)
            break;
        const std::int32_t twips = toInt32(n * 20 / scale);
        f->changeRecord([&](EditTextRecord& r) {
            // The far edge stays a 32-bit number whose distance from the near
            // one is a 32-bit number too.
            auto edge = [&](std::int32_t from) {
                const std::int64_t lowest = std::int64_t(INT32_MIN) + std::max<std::int64_t>(from, 0);
                const std::int64_t highest = std::int64_t(INT32_MAX) + std::min<std::int64_t>(from, 0);
                return std::int32_t(std::clamp<std::int64_t>(std::int64_t(from) + twips, lowest, highest));
            };
            if (prop == Prop::Width)
                r.bounds.xMax = edge(r.bounds.xMin);
            else
                r.bounds.yMax = edge(r.bounds.yMin);
        });
        break;
    }
    case Prop::Alpha: {
        const double n = number();
        if (!std::isfinite(n))
            break;
        ColorTransform cx = f->colorTransform();
        cx.aMul = n / 100;
        f->setColorTransform(cx);
        break;
    }
    case Prop::Visible: f->setVisible(flag()); break;
    case Prop::Name: f->setName(vm.toString(value)); break;
    default:
        break; // read-only
    }
    return true;
}

bool TextFieldObject::hasVirtual(Interpreter& vm, const QString& name)
{
    return m_field && lookup(*this, name) != Prop::None && !inertIn(vm, name);
}

void TextFieldObject::virtualNames(Interpreter&, QStringList&)
{
    // The field's properties are not enumerable, as with the player's own.
}

} // namespace swf::avm1
