// Every fuzz target that can lay out text needs a QGuiApplication: Qt's font
// database aborts the process without one, which would hide real findings
// behind a harness fault. The player and the tools always have one.
#pragma once

#include <QGuiApplication>

#define VANTREL_FUZZ_OFFSCREEN_APP()                                      \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)          \
    {                                                                     \
        qputenv("QT_QPA_PLATFORM", "offscreen");                          \
        static QGuiApplication app(*argc, *argv);                         \
        return 0;                                                         \
    }
