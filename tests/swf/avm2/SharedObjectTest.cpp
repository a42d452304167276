// flash.net.SharedObject reached from scripts: one object per name and
// path, data kept between getLocal calls, clear and size, names no save
// may have, and saves that outlive the run on disk.

#include "Avm2TestSupport.h"

#include "swf/Playback.h"
#include "swf/archive/SolFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace avm2test;

namespace {

struct Script : ScriptBuilder<Script> {
    std::uint32_t cls = w.qname(w.ns(0x16, QStringLiteral("flash.net")), QStringLiteral("SharedObject"));
    // Pushes SharedObject.getLocal(name[, path]).
    Script& local(const char* save, const char* path = nullptr)
    {
        c.op(Op::GetLex, cls);
        str(save);
        if (path)
            str(path);
        c.op(Op::CallProperty, name("getLocal"), path ? 2 : 1);
        return *this;
    }
    QStringList run() { return traces(8, 4); }
    // Local 1 = so.data.
    Script& data() { c.op(Op::GetLocal1).op(Op::GetProperty, name("data")); return *this; }
    // Runs the script as the movie `game.swf` whose saves live in `saves`;
    // the movie ends (and writes what it did not flush) before this returns.
    QStringList runMovie(const QString& saves)
    {
        c.op(Op::ReturnVoid);
        const std::uint32_t init = w.method();
        w.body(init, c, 8, 4);
        w.script(init);
        QStringList lines;
        swf::PlaybackOptions options;
        options.trace = [&lines](const QString& line) { lines << line; };
        options.sharedObjectFolder = saves;
        options.movieName = QStringLiteral("game.swf");
        auto playback = swf::Playback::fromBytes(w.movie(), options);
        EXPECT_TRUE(playback.ok());
        return lines;
    }
};

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(SharedObject, OneObjectPerNameAndPathKeepsItsData)
{
    Script s;
    s.local("game").c.op(Op::SetLocal1);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")); }); // nothing saved yet
    s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("data")).op(Op::PushByte, 3).op(Op::SetProperty, s.name("level"));
    s.trace([&] { s.local("game").c.op(Op::GetProperty, s.name("data")).op(Op::GetProperty, s.name("level")); });
    s.trace([&] { s.local("game").c.op(Op::GetLocal1).op(Op::StrictEquals); });
    s.trace([&] { s.local("game", "/elsewhere").c.op(Op::GetLocal1).op(Op::StrictEquals); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")).op(Op::PushByte, 0).op(Op::GreaterThan); });
    s.c.op(Op::GetLocal1).op(Op::CallPropVoid, s.name("clear"), 0);
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("data")).op(Op::GetProperty, s.name("level")); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::GetProperty, s.name("size")); });
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("flush"), 0); });
    EXPECT_EQ(s.run(), QStringList({ "0", "3", "true", "false", "true", "undefined", "0", "flushed" }));
}

TEST(SharedObject, NameWithAForbiddenCharacterIsRefused)
{
    Script s;
    s.local("high score"); // a space
    s.trace([&] { s.str("not reached"); });
    EXPECT_EQ(s.run(), QStringList({ "Error: Error #2134: Cannot create SharedObject.\n\tat flash.net::SharedObject$/getLocal()\n\tat global$init()" }));
}

TEST(SharedObject, SavesOutliveTheRunInEitherEncoding)
{
    QTemporaryDir dir;
    const QString saves = dir.path();
    // so.data.score = 42; so.data.list = ["a", "b"]; trace(so.flush()) in AMF3, the default.
    Script write;
    write.local("hs").c.op(Op::SetLocal1);
    write.trace([&] { write.data().c.op(Op::GetProperty, write.name("score")); });
    write.data().c.op(Op::PushByte, 42).op(Op::SetProperty, write.name("score"));
    write.data().str("a").str("b").c.op(Op::NewArray, 2).op(Op::SetProperty, write.name("list"));
    write.trace([&] { write.c.op(Op::GetLocal1).op(Op::CallProperty, write.name("flush"), 0); });
    // A second save in AMF0, never flushed: written when the movie ends.
    write.local("old", "/").c.op(Op::SetLocal2);
    write.c.op(Op::GetLocal2).op(Op::PushByte, 0).op(Op::SetProperty, write.name("objectEncoding"));
    write.c.op(Op::GetLocal2).op(Op::GetProperty, write.name("data")).op(Op::PushByte, 7).op(Op::SetProperty, write.name("v"));
    EXPECT_EQ(write.runMovie(saves), QStringList({ "undefined", "flushed" }));

    // The files are .sol files other players read: the first machine's reader takes them.
    auto amf3 = swf::archive::SolFile::read(fileBytes(saves + QStringLiteral("/localhost/game.swf/hs.sol")));
    ASSERT_TRUE(amf3.ok());
    EXPECT_TRUE(amf3.value().amf3);
    EXPECT_EQ(amf3.value().name, QStringLiteral("hs"));
    auto amf0 = swf::archive::SolFile::read(fileBytes(saves + QStringLiteral("/localhost/old.sol")));
    ASSERT_TRUE(amf0.ok());
    EXPECT_FALSE(amf0.value().amf3);

    Script read;
    read.local("hs").c.op(Op::SetLocal1);
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("score")); });
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("list")).op(Op::PushByte, 1).op(Op::GetProperty, read.w.multinameL(read.w.nsSet({ read.w.publicNs() }))); });
    read.local("old", "/").c.op(Op::SetLocal1);
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("v")); });
    read.trace([&] { read.c.op(Op::GetLocal1).op(Op::GetProperty, read.name("objectEncoding")); });
    EXPECT_EQ(read.runMovie(saves), QStringList({ "42", "b", "7", "0" }));
}

TEST(SharedObject, ReadsTheFirstMachinesSaves)
{
    QTemporaryDir dir;
    swf::archive::SolFile file;
    file.name = QStringLiteral("hs");
    file.objects.push_back({ false, {}, { { QStringLiteral("n"), swf::archive::SolValue::ofString(QStringLiteral("汉字")) } } });
    file.data = { { QStringLiteral("score"), swf::archive::SolValue::ofNumber(9.5) },
        { QStringLiteral("o"), swf::archive::SolValue::ofObject(0) } };
    const QString path = dir.path() + QStringLiteral("/localhost/game.swf/hs.sol");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(file.write());
    out.close();

    Script read;
    read.local("hs").c.op(Op::SetLocal1);
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("score")); });
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("o")).op(Op::GetProperty, read.name("n")); });
    EXPECT_EQ(read.runMovie(dir.path()), QStringList({ "9.5", "汉字" }));
}

TEST(SharedObject, DamagedSaveIsKeptAsideAndOversizedFlushIsPending)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/localhost/game.swf");
    QDir().mkpath(folder);
    {
        QFile bad(folder + QStringLiteral("/hs.sol"));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("not a save at all");
    }
    // A damaged save reads as nothing; 10 characters doubled 14 times
    // (163 840) are beyond the 100 KB a movie may keep without asking.
    Script s;
    s.local("hs").c.op(Op::SetLocal1);
    s.trace([&] { s.data().c.op(Op::GetProperty, s.name("score")); });
    s.data().c.op(Op::PushByte, 1).op(Op::SetProperty, s.name("score"));
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("flush"), 0); });
    s.trace([&] { s.c.op(Op::GetLocal1); s.num(200000).c.op(Op::CallProperty, s.name("flush"), 1); });
    s.str("0123456789").c.op(Op::SetLocal2);
    for (int i = 0; i < 14; ++i)
        s.c.op(Op::GetLocal2).op(Op::GetLocal2).op(Op::Add).op(Op::SetLocal2);
    s.data().c.op(Op::GetLocal2).op(Op::SetProperty, s.name("big"));
    s.trace([&] { s.c.op(Op::GetLocal1).op(Op::CallProperty, s.name("flush"), 0); });
    EXPECT_EQ(s.runMovie(dir.path()), QStringList({ "undefined", "flushed", "pending", "pending" }));

    const QStringList aside = QDir(folder).entryList({ QStringLiteral("hs.sol.damaged-*") });
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(fileBytes(folder + QLatin1Char('/') + aside.first()), QByteArray("not a save at all"));
    // The oversized data reached no file, not even at the end: the last good save stands.
    Script read;
    read.local("hs").c.op(Op::SetLocal1);
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("score")); });
    read.trace([&] { read.data().c.op(Op::GetProperty, read.name("big")); });
    EXPECT_EQ(read.runMovie(dir.path()), QStringList({ "1", "undefined" }));
}
