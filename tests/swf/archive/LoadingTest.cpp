// Movies on disk that load files beside them and keep saves between runs.

#include "support/BuiltinsRows.h"
#include "support/ScriptSandbox.h"

#include "swf/Playback.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

struct Folder {
    QTemporaryDir dir;
    QString saves;
    Folder() { saves = dir.path() + QStringLiteral("/saves"); }

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    // Runs the movie `name` (its first frame's actions) for `frames` frames; the trace comes back.
    QStringList run(const QString& name, const S& script, int frames = 3)
    {
        const QString path = write(name, movieWithActions(script.program(), 8));
        QStringList lines;
        swf::PlaybackOptions options;
        options.trace = [&lines](const QString& line) { lines << line; };
        options.sharedObjectFolder = saves;
        auto playback = swf::Playback::open(path, options);
        EXPECT_TRUE(playback.ok());
        if (!playback.ok())
            return lines;
        for (int i = 1; i < frames; ++i)
            playback.value()->nextFrame();
        return lines;
    }
};

// f = function(ok) { trace(ok); trace(this.<member path>); }
S onLoadTracing(std::initializer_list<const char*> path)
{
    S body;
    body.var("ok").trace().member("this", path).trace();
    S s;
    s.function("f", { "ok" }, body);
    return s;
}

} // namespace

TEST(Loading, XmlArrivesOnALaterFrame)
{
    Folder folder;
    folder.write(QStringLiteral("parts/level.xml"), "<level n=\"3\"><wall/></level>");
    S s = onLoadTracing({ "firstChild", "attributes", "n" });
    s.assign("x", S().construct("XML"))
        .setMember("x", "onLoad", S().var("f"))
        .method("x", "load", { "parts/level.xml" }).trace()
        .member("x", { "loaded" }).trace()
        .value("asked").trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), s).join(QLatin1Char('|')),
        QStringLiteral("true|false|asked|true|3"));
}

TEST(Loading, MissingAndRefusedFilesFail)
{
    Folder folder;
    folder.write(QStringLiteral("outside.txt"), "a=1");
    S s = onLoadTracing({ "a" });
    s.assign("v", S().construct("LoadVars"))
        .setMember("v", "onLoad", S().var("f"))
        .method("v", "load", { "../outside.txt" }).pop()
        .assign("w", S().construct("LoadVars"))
        .setMember("w", "onLoad", S().var("f"))
        .method("w", "load", { "http://example.com/a.txt" }).pop()
        .assign("u", S().construct("LoadVars"))
        .setMember("u", "onLoad", S().var("f"))
        .method("u", "load", { "missing.txt" }).pop();
    // The movie sits one folder down: outside.txt is out of its tree.
    EXPECT_EQ(folder.run(QStringLiteral("m/movie.swf"), s).join(QLatin1Char('|')),
        QStringLiteral("false|undefined|false|undefined|false|undefined"));
}

TEST(Loading, LoadVarsDecodesPairs)
{
    Folder folder;
    folder.write(QStringLiteral("vars.txt"), "name=Li+Lei&score=12&note=a%26b&empty&=skip");
    S s = onLoadTracing({ "name" });
    s.assign("v", S().construct("LoadVars"))
        .setMember("v", "onLoad", S().var("f"))
        .method("v", "load", { "vars.txt" }).pop();
    // A second LoadVars built by decode, written back as a form line.
    S form;
    form.assign("d", S().construct("LoadVars"))
        .method("d", "decode", { "b=2&a=x y" }).pop()
        .method("d", "toString").trace();
    runRows({ { "toString", 7, form, { "a=x%20y&b=2" } } });
    EXPECT_EQ(folder.run(QStringLiteral("vars.swf"), s).join(QLatin1Char('|')), QStringLiteral("true|Li Lei"));
}

TEST(Loading, SavesOutliveTheRun)
{
    Folder folder;
    // so.data.score = 42; so.data.names = ["a", "b"]; trace(so.flush())
    S write;
    write.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .assign("d", S().member("so", { "data" }))
        .setMember("d", "score", S().value(42))
        .setMember("d", "names", S().array({ "a", "b" }))
        .method("so", "flush").trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), write).join(QLatin1Char('|')), QStringLiteral("true"));
    const QString file = folder.saves + QStringLiteral("/localhost/game.swf/hs.sol");
    ASSERT_TRUE(QFile::exists(file));

    S read;
    read.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .member("so", { "data", "score" }).trace()
        .member("so", { "data", "names", "1" }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), read).join(QLatin1Char('|')), QStringLiteral("42|b"));

    // Without flush the save is written when the movie ends; a path names the folder.
    S unflushed;
    unflushed.assign("so", S().method("SharedObject", "getLocal", { "auto", "/" }))
        .assign("d", S().member("so", { "data" }))
        .setMember("d", "v", S().value(7));
    folder.run(QStringLiteral("game.swf"), unflushed);
    EXPECT_TRUE(QFile::exists(folder.saves + QStringLiteral("/localhost/auto.sol")));

    // Names that climb out of the save folder are refused.
    S bad;
    bad.method("SharedObject", "getLocal", { "../x" }).trace().method("SharedObject", "getLocal", { "a", "/../.." }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), bad).join(QLatin1Char('|')), QStringLiteral("null|null"));
}

TEST(Loading, DamagedSaveIsKeptAside)
{
    Folder folder;
    const QString file = folder.write(QStringLiteral("saves/localhost/game.swf/hs.sol"), "not a save at all");
    S read;
    read.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .member("so", { "data", "score" }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), read).join(QLatin1Char('|')), QStringLiteral("undefined"));
    const QStringList aside = QDir(QFileInfo(file).absolutePath()).entryList({ QStringLiteral("hs.sol.damaged-*") });
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QFileInfo(file).absolutePath() + QLatin1Char('/') + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("not a save at all"));
}

TEST(Loading, SaveBeyondTheLimitIsPendingAndLosesNothing)
{
    Folder folder;
    S first;
    first.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .assign("d", S().member("so", { "data" }))
        .setMember("d", "score", S().value(1))
        .method("so", "flush").trace()
        // Asking for 50 000 bytes of room is within the 100 KB a movie may keep.
        .method("so", "flush", { 50000 }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), first).join(QLatin1Char('|')), QStringLiteral("true|true"));

    // 10 characters doubled 14 times: 163 840, beyond 100 KB.
    S big;
    big.assign("s", S().value("0123456789"));
    for (int i = 0; i < 14; ++i)
        big.assign("s", S().var("s").var("s").add());
    S status;
    status.member("info", { "code" }).trace();
    big.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .function("st", { "info" }, status)
        .setMember("so", "onStatus", S().var("st"))
        .assign("d", S().member("so", { "data" }))
        .setMember("d", "score", S().value(2))
        .setMember("d", "big", S().var("s"))
        .method("so", "flush").trace()
        .member("so", { "data", "big", "length" }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), big).join(QLatin1Char('|')),
        QStringLiteral("pending|163840|SharedObject.Flush.Failed"));

    // Small data but a request for more room than allowed is pending too.
    S room;
    room.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .member("so", { "data", "score" }).trace()
        .member("so", { "data", "big" }).trace()
        .method("so", "flush", { 200000 }).trace();
    // The oversized run left the last good save on disk.
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), room).join(QLatin1Char('|')), QStringLiteral("1|undefined|pending"));
}

// A save made byte by byte, as another run of the player left it, is what
// SharedObject.getLocal hands the movie.
TEST(Loading, MovieReadsAHandBuiltSave)
{
    Folder folder;
    const auto bytes = [](std::initializer_list<int> b) {
        QByteArray out;
        for (int v : b)
            out += char(v);
        return out;
    };
    const QByteArray body = bytes({ 0, 5 }) + "score" + bytes({ 0x00, 0x40, 0x59, 0, 0, 0, 0, 0, 0 }) + bytes({ 0 }) // score = 100.0
        + bytes({ 0, 4 }) + "name" + bytes({ 0x02, 0, 3 }) + "Ann" + bytes({ 0 });                              // name = "Ann"
    const QByteArray rest = "TCSO" + bytes({ 0, 4, 0, 0, 0, 0 }) // signature and padding
        + bytes({ 0, 2 }) + "hs"                                 // the save's name
        + bytes({ 0, 0, 0, 0 })                                  // AMF0
        + body;
    const int n = int(rest.size());
    const QString path = folder.saves + QStringLiteral("/localhost/game.swf/hs.sol");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes({ 0x00, 0xBF, n >> 24 & 255, n >> 16 & 255, n >> 8 & 255, n & 255 }) + rest);
    file.close();

    S read;
    read.assign("so", S().method("SharedObject", "getLocal", { "hs" }))
        .member("so", { "data", "score" }).value(1).add().trace()
        .member("so", { "data", "name" }).trace();
    EXPECT_EQ(folder.run(QStringLiteral("game.swf"), read), QStringList({ "101", "Ann" }));
}
