#pragma once

// The tools promise one line on stderr when something goes wrong; Qt's own
// warnings (a JPEG it cannot decode, a font it lacks, a script fault logged by
// the engine) would come before it. Each tool and the player install this
// handler first: Qt's messages go to the file named by VANTREL_QT_LOG, when
// set, and nowhere else. A fatal message still ends the program.

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace vantrel {

inline void qtMessagesAway(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    static FILE* log = [] {
        const QByteArray path = qgetenv("VANTREL_QT_LOG");
        return path.isEmpty() ? nullptr : std::fopen(path.constData(), "a");
    }();
    if (log) {
        std::fprintf(log, "%s\n", message.toLocal8Bit().constData());
        std::fflush(log);
    }
    if (type == QtFatalMsg)
        std::abort();
}

inline void routeQtMessagesAway() { qInstallMessageHandler(qtMessagesAway); }

} // namespace vantrel
