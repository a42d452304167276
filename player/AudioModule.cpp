#include "player/AudioModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <memory>

namespace player {

namespace {

struct ModuleState {
    bool tried = false;
    CreateAudioDevice create = nullptr;
    QString path;
    QString error;
    // The loaded module, kept for the life of the program (QLibrary's
    // destructor leaves it mapped, so the device code stays callable).
    std::unique_ptr<QLibrary> library;
};

ModuleState& state()
{
    static ModuleState s;
    return s;
}

const QString& moduleFile()
{
    static const QString name = QStringLiteral("libvantrel-audio.so");
    return name;
}

void open(ModuleState& s)
{
    s.tried = true;
    QStringList errors;
    for (const QString& path : AudioModule::candidates()) {
        if (!QFileInfo::exists(path))
            continue;
        auto library = std::make_unique<QLibrary>(path);
        library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library->load()) {
            errors << library->errorString();
            continue;
        }
        auto create = reinterpret_cast<CreateAudioDevice>(library->resolve(CreateAudioDeviceSymbol));
        if (!create) {
            errors << QStringLiteral("%1 has no %2").arg(path, QLatin1String(CreateAudioDeviceSymbol));
            library->unload();
            continue;
        }
        s.create = create;
        s.library = std::move(library);
        s.path = path;
        s.error.clear();
        return;
    }
    s.error = errors.isEmpty() ? QStringLiteral("no %1 found").arg(moduleFile()) : errors.join(QStringLiteral("; "));
}

} // namespace

QStringList AudioModule::candidates()
{
    QStringList paths;
    const QString named = qEnvironmentVariable("VANTREL_AUDIO_MODULE");
    if (!named.isEmpty())
        return { named };
    const QString appDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!appDir.isEmpty()) {
        paths << QDir(appDir).filePath(moduleFile());
        paths << QDir(appDir).filePath(QStringLiteral("../lib/vantrel/") + moduleFile());
    }
#ifdef VANTREL_AUDIO_INSTALL_DIR
    paths << QDir(QStringLiteral(VANTREL_AUDIO_INSTALL_DIR)).filePath(moduleFile());
#endif
#ifdef VANTREL_AUDIO_BUILD_DIR
    paths << QDir(QStringLiteral(VANTREL_AUDIO_BUILD_DIR)).filePath(moduleFile());
#endif
    paths.removeDuplicates();
    return paths;
}

std::unique_ptr<AudioDevice> AudioModule::createDevice(AudioSource& source, int sampleRate)
{
    ModuleState& s = state();
    if (!s.tried)
        open(s);
    if (!s.create)
        return nullptr;
    return std::unique_ptr<AudioDevice>(s.create(&source, sampleRate));
}

bool AudioModule::isLoaded()
{
    return state().create != nullptr;
}

QString AudioModule::loadedPath()
{
    return state().path;
}

QString AudioModule::lastError()
{
    return state().error;
}

} // namespace player
