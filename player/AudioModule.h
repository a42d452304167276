#pragma once

// Finds and opens the sound device module (libvantrel-audio) the first time
// a movie sounds. It is looked for beside the program, in the library folder
// it is installed to, and in the build tree; VANTREL_AUDIO_MODULE names
// another file. Once opened it stays loaded for the life of the process (the
// multimedia libraries under it do not take well to being unloaded).

#include "player/audio/AudioDevice.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace player {

class AudioModule {
public:
    // A device pulling from `source`, or null when no module could be opened
    // (the movie then plays silent). The module is opened on the first call.
    static std::unique_ptr<AudioDevice> createDevice(AudioSource& source, int sampleRate);
    // Whether the module has been opened in this process, and from where.
    static bool isLoaded();
    static QString loadedPath();
    // The files looked for, in order.
    static QStringList candidates();
    // Why the last attempt failed (empty after a success or before any).
    static QString lastError();
};

} // namespace player
