#pragma once

// Shared pieces of the shell tests: a player that records the calls made on
// it, a small movie written to a file, and a main() that isolates each test
// process (offscreen platform, private runtime directory for the
// single-instance lock, no test log unless a test asks for one).

#include "player/PlayerControl.h"

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

struct RecordingPlayer : player::PlayerControl {
    QStringList calls;

    void Movie(const QString& path) override { calls << QStringLiteral("Movie(%1)").arg(path); }
    void Playing(bool playing) override { calls << QStringLiteral("Playing(%1)").arg(playing ? "true" : "false"); }
    void Stop() override { calls << QStringLiteral("Stop()"); }
    void Back() override { calls << QStringLiteral("Back()"); }
    void Forward() override { calls << QStringLiteral("Forward()"); }
    void Zoom(int percent) override { calls << QStringLiteral("Zoom(%1)").arg(percent); }
    void ScaleMode(int mode) override { calls << QStringLiteral("ScaleMode(%1)").arg(mode); }
};

// A movie of `frames` frames on a 550 x 400 stage with the given background.
QByteArray smallMovie(int frames, quint8 r, quint8 g, quint8 b);

// A 100 x 100 movie whose first frame starts a one-second tone, then holds
// for 48 frames: it plays with sound from the moment it is loaded.
QByteArray movieWithSound();

// Writes `bytes` to a file in `dir` and returns its path.
QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes);

// Prepares the environment before the application exists.
void prepareShellTestEnvironment();

#define SHELL_TEST_MAIN(TestClass)                   \
    int main(int argc, char** argv)                  \
    {                                                \
        prepareShellTestEnvironment();               \
        QApplication app(argc, argv);                \
        app.setApplicationName(QStringLiteral("Vantrel")); \
        TestClass test;                              \
        return QTest::qExec(&test, argc, argv);      \
    }
