#pragma once

// The render tool's command line, parsed into plain values so new options
// (traces, audio output) slot in beside the existing ones.

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

struct RenderOptions {
    QString movie;
    int frame = 1;
    QString out;
    std::optional<QSize> size;
    bool lowQuality = false; // no anti-aliasing
    bool trace = false;      // print trace() lines of the frames run
    QString audioOut;        // write the mixed sound of the frames run as WAV
    QString videoOut;        // write the movie as a video (.mp4, .webm, .gif) instead
    std::optional<int> videoFrames; // how many frames the video holds; by default one run of the timeline
    bool help = false;       // --help: print the usage and do nothing else
};

// The tool's usage lines.
QString renderUsage();

// Parses arguments (without the program name). On failure returns nothing and sets `error`.
std::optional<RenderOptions> parseRenderOptions(const QStringList& args, QString& error);
