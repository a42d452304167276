#include "RenderOptions.h"

#include <QRegularExpression>

QString renderUsage()
{
    return QStringLiteral("usage: vantrel-render MOVIE --frame N [--out OUT.png] [--size WxH] [--quality low|high] [--trace] [--audio OUT.wav]\n"
                          "       vantrel-render MOVIE --video OUT.mp4|OUT.webm|OUT.gif [--size WxH] [--frames N]");
}

std::optional<RenderOptions> parseRenderOptions(const QStringList& args, QString& error)
{
    RenderOptions options;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        // Asking for help wins over everything else on the line.
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            RenderOptions help;
            help.help = true;
            return help;
        }
        auto value = [&](const char* name) -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(QLatin1String(name));
                return std::nullopt;
            }
            return args[++i];
        };
        if (arg == QLatin1String("--frame")) {
            auto v = value("--frame");
            if (!v)
                return std::nullopt;
            bool ok = false;
            options.frame = v->toInt(&ok);
            if (!ok || options.frame < 1) {
                error = QStringLiteral("--frame wants a number from 1 up, not '%1'").arg(*v);
                return std::nullopt;
            }
        } else if (arg == QLatin1String("--out")) {
            auto v = value("--out");
            if (!v)
                return std::nullopt;
            options.out = *v;
        } else if (arg == QLatin1String("--size")) {
            auto v = value("--size");
            if (!v)
                return std::nullopt;
            static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
            auto match = pattern.match(*v);
            int w = match.hasMatch() ? match.captured(1).toInt() : 0;
            int h = match.hasMatch() ? match.captured(2).toInt() : 0;
            if (w < 1 || h < 1 || w > 16384 || h > 16384) {
                error = QStringLiteral("--size wants WxH between 1x1 and 16384x16384, not '%1'").arg(*v);
                return std::nullopt;
            }
            options.size = QSize(w, h);
        } else if (arg == QLatin1String("--quality")) {
            auto v = value("--quality");
            if (!v)
                return std::nullopt;
            if (*v != QLatin1String("low") && *v != QLatin1String("high")) {
                error = QStringLiteral("--quality is low or high, not '%1'").arg(*v);
                return std::nullopt;
            }
            options.lowQuality = *v == QLatin1String("low");
        } else if (arg == QLatin1String("--trace")) {
            options.trace = true;
        } else if (arg == QLatin1String("--audio")) {
            auto v = value("--audio");
            if (!v)
                return std::nullopt;
            options.audioOut = *v;
        } else if (arg == QLatin1String("--video")) {
            auto v = value("--video");
            if (!v)
                return std::nullopt;
            options.videoOut = *v;
        } else if (arg == QLatin1String("--frames")) {
            auto v = value("--frames");
            if (!v)
                return std::nullopt;
            bool ok = false;
            const int frames = v->toInt(&ok);
            if (!ok || frames < 1 || frames > 1000000) {
                error = QStringLiteral("--frames wants a number from 1 to 1000000, not '%1'").arg(*v);
                return std::nullopt;
            }
            options.videoFrames = frames;
        } else if (arg.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(arg);
            return std::nullopt;
        } else if (options.movie.isEmpty()) {
            options.movie = arg;
        } else {
            error = QStringLiteral("more than one movie given");
            return std::nullopt;
        }
    }
    if (options.movie.isEmpty()) {
        error = renderUsage();
        return std::nullopt;
    }
    if (!options.videoOut.isEmpty() && (!options.out.isEmpty() || !options.audioOut.isEmpty() || options.trace)) {
        error = QStringLiteral("--video goes alone, without --out, --audio or --trace");
        return std::nullopt;
    }
    if (options.videoFrames && options.videoOut.isEmpty()) {
        error = QStringLiteral("--frames goes with --video");
        return std::nullopt;
    }
    if (options.out.isEmpty() && !options.trace && options.audioOut.isEmpty() && options.videoOut.isEmpty()) {
        error = QStringLiteral("--out OUT.png is required");
        return std::nullopt;
    }
    return options;
}
