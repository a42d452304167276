// Every action block a fuzzer once broke the script machine with now runs to
// an orderly end: trace output or a reported fault, never a crash or a hang.

#include "support/ScriptSandbox.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

using namespace swf::avm1;

TEST(ScriptRegressions, FuzzFindingsRunCleanly)
{
    QDir dir(QStringLiteral(VANTREL_SCRIPT_REGRESSIONS));
    const QStringList files = dir.entryList({ QStringLiteral("script-*.bin") }, QDir::Files);
    if (files.isEmpty())
        GTEST_SKIP() << "no script regressions committed";
    for (const QString& name : files) {
        SCOPED_TRACE(qPrintable(name));
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        QByteArray data = f.readAll();
        ASSERT_FALSE(data.isEmpty());
        // Same framing as the fuzz target: the first byte picks the version.
        SandboxOptions options;
        options.version = 4 + uchar(data[0]) % 5;
        options.frames = 3;
        options.budget = 1 << 16;
        SandboxRun run = runInSandbox(data.mid(1), options);
        EXPECT_TRUE(run.loaded);
        EXPECT_LE(run.actions, 3u * ((1u << 16) + 1) * 4);
    }
}
