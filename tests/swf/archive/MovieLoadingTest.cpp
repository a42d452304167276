// Movies that load other movies: into levels and clips, through the
// getURL2 action and MovieClipLoader, and variables into clips.

#include "support/BuiltinsRows.h"
#include "support/ScriptSandbox.h"

#include "swf/Playback.h"
#include "swf/avm1/stage/MovieLoading.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QUrl>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace swf::avm1;
using namespace swf::avm1::test;

namespace {

// getURL2 with its flags byte: 0x40 the window is a clip's path, 0x80 variables.
S& getUrl2(S& s, const char* url, const char* window, int flags)
{
    s.value(url).value(window).op(0x9A).op(1).op(0).op(uint8_t(flags));
    return s;
}

struct Folder {
    QTemporaryDir dir;

    QByteArray write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return bytes;
    }

    // Runs `name` (its frame-1 actions) for `frames` frames; the trace comes back.
    QStringList run(const QString& name, const S& script, int frames, QStringList* faults = nullptr)
    {
        write(name, movieWithActions(script.program(), 8));
        QStringList lines;
        swf::PlaybackOptions options;
        options.trace = [&lines](const QString& line) { lines << line; };
        options.fault = [faults](const QString& line) { if (faults) *faults << line; };
        options.sharedObjectFolder = dir.path() + QStringLiteral("/saves");
        auto playback = swf::Playback::open(dir.path() + QLatin1Char('/') + name, options);
        EXPECT_TRUE(playback.ok());
        if (!playback.ok())
            return lines;
        for (int i = 1; i < frames; ++i)
            playback.value()->nextFrame();
        return lines;
    }
};

// A child movie whose first frame says where it stands and what its _root is.
QByteArray childMovie()
{
    S s;
    s.assign("childVar", S().value(7)).var("this").trace().member("this", { "_x" }).trace().var("_root").trace();
    return movieWithActions(s.program(), 8);
}

} // namespace

TEST(MovieLoading, ChildIntoALevelAndIntoAClip)
{
    Folder folder;
    folder.write(QStringLiteral("game/child.swf"), childMovie());
    folder.write(QStringLiteral("game/parts/child.swf"), childMovie());
    folder.write(QStringLiteral("outside.swf"), childMovie());
    S s;
    s.call("createEmptyMovieClip", { "holder", 5 }).pop()
        .setMember("holder", "_x", S().value(30))
        .call("createEmptyMovieClip", { "other", 6 }).pop();
    getUrl2(s, "child.swf", "_level1", 0);
    getUrl2(s, "parts/child.swf", "holder", 0x40);
    // Outside the movie's folder, and a web address: nothing arrives.
    getUrl2(s, "../outside.swf", "other", 0x40);
    getUrl2(s, "http://example.com/child.swf", "_level2", 0);
    s.value("asked").trace();
    // Asked on frame 1, the movies arrive on frame 3, before its scripts.
    const QStringList lines = folder.run(QStringLiteral("game/main.swf"), s, 4);
    EXPECT_EQ(lines.join(QLatin1Char('|')),
        QStringLiteral("asked|_level1|0|_level1|_level0.holder|30|_level0"));
}

TEST(MovieLoading, UnloadEmptiesTheClipTwoFramesLater)
{
    Folder folder;
    S report;
    report.member("a", { "x" }).trace().member("a", { "b" }).trace();
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop()
        .setMember("a", "x", S().value(42))
        .method("a", "createEmptyMovieClip", { "b", 1 }).pop();
    getUrl2(s, "", "a", 0x40);
    s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 4).join(QLatin1Char('|')),
        QStringLiteral("42|_level0.a.b|undefined|undefined|undefined|undefined"));
}

TEST(MovieLoading, MovieClipLoaderEventsInOrder)
{
    Folder folder;
    const QByteArray child = folder.write(QStringLiteral("child.swf"), childMovie());
    S start, progress, complete, init, error;
    start.value("start").var("t").add().trace();
    progress.value("progress").var("n").add().trace();
    complete.value("complete").trace();
    init.value("init").member("t", { "childVar" }).add().trace();
    error.value("error ").var("code").add().trace();
    S s;
    s.call("createEmptyMovieClip", { "holder", 1 }).pop()
        .call("createEmptyMovieClip", { "other", 2 }).pop()
        .assign("l", S().construct("MovieClipLoader"))
        .function("f1", { "t" }, start).setMember("l", "onLoadStart", S().var("f1"))
        .function("f2", { "t", "n" }, progress).setMember("l", "onLoadProgress", S().var("f2"))
        .function("f3", { "t" }, complete).setMember("l", "onLoadComplete", S().var("f3"))
        .function("f4", { "t" }, init).setMember("l", "onLoadInit", S().var("f4"))
        .function("f5", { "t", "code" }, error).setMember("l", "onLoadError", S().var("f5"))
        .method("l", "loadClip", { "child.swf", "holder" }).trace()
        .method("l", "loadClip", { "missing.swf", "other" }).trace()
        .method("l", "loadClip", { "../x.swf", "other" }).trace();
    const QString size = QString::number(child.size());
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 4).join(QLatin1Char('|')),
        QStringLiteral("true|true|true|start_level0.holder|progress%1|complete|error URLNotFound|error IllegalRequest"
                       "|_level0.holder|0|_level0|init7").arg(size));
}

TEST(MovieLoading, VariablesIntoAClip)
{
    Folder folder;
    folder.write(QStringLiteral("vars.txt"), "name=Li+Lei&n=3");
    S report;
    report.member("v", { "name" }).trace();
    S s;
    s.call("createEmptyMovieClip", { "v", 1 }).pop();
    getUrl2(s, "vars.txt", "v", 0xC0);
    s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
    // Text arrives one frame on, after that frame's scripts.
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 3).join(QLatin1Char('|')), QStringLiteral("undefined|Li Lei"));
}

TEST(MovieLoading, AMovieLoadingItselfStopsAtTheNestingCap)
{
    Folder folder;
    // Each copy makes a clip and loads itself into it.
    S s;
    s.value("x").trace().call("createEmptyMovieClip", { "c", 1 }).pop();
    getUrl2(s, "self.swf", "c", 0x40);
    QStringList faults;
    const QStringList lines = folder.run(QStringLiteral("self.swf"), s, 40, &faults);
    // The first movie, then MaxLoadedMovieNesting copies inside each other.
    EXPECT_EQ(lines.size(), 1 + MaxLoadedMovieNesting);
    EXPECT_TRUE(faults.join(QLatin1Char('\n')).contains(QStringLiteral("movies inside each other")));
}

TEST(MovieLoading, LoadedPicturesBecomeTheClipsContent)
{
    Folder folder;
    // A 6 x 4 PNG written by Qt's own writer.
    const auto encoded = [](int w, int h, const char* format) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    };
    folder.write(QStringLiteral("pic.png"), encoded(6, 4, "PNG"));
    folder.write(QStringLiteral("fake.png"), "\x89PNG\r\n\x1A\nnot really");
    S report;
    report.member("a", { "_width" }).trace().member("a", { "_height" }).trace().member("a", { "_x" }).trace();
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop().setMember("a", "_x", S().value(5));
    getUrl2(s, "pic.png", "a", 0x40);
    s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
    // Before the picture: an empty clip; then the picture's size in pixels, the placement kept.
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 3).join(QLatin1Char('|')), QStringLiteral("0|0|5|6|4|5"));

    // A damaged picture is no movie: the clip keeps its content and the loader hears of it.
    S error;
    error.value("error ").var("code").add().trace();
    S bad;
    bad.call("createEmptyMovieClip", { "a", 1 }).pop()
        .assign("l", S().construct("MovieClipLoader"))
        .function("f", { "t", "code" }, error).setMember("l", "onLoadError", S().var("f"))
        .method("l", "loadClip", { "fake.png", "a" }).pop();
    EXPECT_EQ(folder.run(QStringLiteral("bad.swf"), bad, 4).join(QLatin1Char('|')), QStringLiteral("error LoadNeverCompleted"));
}

// A movie loaded from a subfolder asks for files from its own folder (and
// may still reach up to the first movie's), never beyond the first movie's tree.
TEST(MovieLoading, LoadedMovieAsksFromItsOwnFolder)
{
    Folder folder;
    folder.write(QStringLiteral("game/sub/data.xml"), "<here/>");
    folder.write(QStringLiteral("game/data.xml"), "<top/>");
    folder.write(QStringLiteral("data.xml"), "<outside/>");
    S grandSub;
    grandSub.value("grand from sub").trace();
    folder.write(QStringLiteral("game/sub/grand.swf"), movieWithActions(grandSub.program(), 8));
    S grandTop;
    grandTop.value("grand from top").trace();
    folder.write(QStringLiteral("game/grand.swf"), movieWithActions(grandTop.program(), 8));

    // t.onLoad = function(ok) { trace(<label> + ok + " " + this.firstChild.nodeName); }
    const auto xmlLoad = [](S& s, const char* name, const char* label, const char* url) {
        S body;
        body.value(label).var("ok").add().value(" ").add().member("this", { "firstChild", "nodeName" }).add().trace();
        s.assign(name, S().construct("XML"));
        s.setMember(name, "onLoad", S().function("", { "ok" }, body));
        s.method(name, "load", { url }).pop();
    };
    S child;
    xmlLoad(child, "own", "own ", "data.xml");
    xmlLoad(child, "up", "up ", "../data.xml");
    xmlLoad(child, "out", "out ", "../../data.xml");
    getUrl2(child, "grand.swf", "_level2", 0); // loadMovieNum("grand.swf", 2)
    folder.write(QStringLiteral("game/sub/child.swf"), movieWithActions(child.program(), 8));

    S s;
    getUrl2(s, "sub/child.swf", "_level1", 0);
    xmlLoad(s, "mine", "main ", "data.xml");
    QStringList lines = folder.run(QStringLiteral("game/main.swf"), s, 6);
    lines.sort();
    EXPECT_EQ(lines, QStringList({ "grand from sub", "main true top", "out false undefined", "own true here", "up true top" }));
}

// A version 5 movie loaded into a version 8 one runs by version 5 rules:
// names are case-insensitive, undefined joins as an empty string; a
// function keeps the rules of the movie that defined it, whoever calls it.
TEST(MovieLoading, LoadedMovieKeepsItsOwnVersionRules)
{
    Folder folder;
    S old;
    old.assign("Foo", S().value(1)).var("foo").trace();
    old.value("[").var("nothing").add().value("]").add().trace();
    old.value("parent's ").method("_level0", "joined").add().trace();
    old.assign("joinedHere", S().function("", {}, S().value("[").var("nothing").add().value("]").add().ret()));
    folder.write(QStringLiteral("old.swf"), movieWithActions(old.program(), 5));

    S s;
    s.assign("Bar", S().value(1)).var("bar").trace();
    s.value("[").var("nothing").add().value("]").add().trace();
    s.assign("joined", S().function("", {}, S().value("[").var("nothing").add().value("]").add().ret()));
    getUrl2(s, "old.swf", "_level1", 0);
    // Frame 2 calls the child's function; by the second pass the child is there.
    S later;
    later.value("child's ").method("_level1", "joinedHere").add().trace();
    folder.write(QStringLiteral("main.swf"), movieWithActions(s.program(), 8, later.program()));
    QStringList lines;
    swf::PlaybackOptions options;
    options.trace = [&lines](const QString& line) { lines << line; };
    auto playback = swf::Playback::open(folder.dir.path() + QStringLiteral("/main.swf"), options);
    ASSERT_TRUE(playback.ok());
    for (int i = 1; i < 4; ++i)
        playback.value()->nextFrame();
    ASSERT_GE(lines.size(), 5) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(0, 2), QStringList({ "undefined", "[undefined]" }));
    EXPECT_TRUE(lines.contains("1")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("[]")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("parent's [undefined]")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("child's []")) << lines.join('\n').toStdString();
}

// getBytesLoaded/getBytesTotal: a movie's root reads its file's length, a
// script-made clip none; a loaded file counts once it arrived (frame 3 for a
// request of frame 1), and a clip whose load failed reads as before.
TEST(MovieLoading, BytesOfLoadedMoviesAndLevels)
{
    Folder folder;
    const QByteArray child = folder.write(QStringLiteral("child.swf"), childMovie());
    S report;
    report.method("holder", "getBytesLoaded").value("/").add().method("holder", "getBytesTotal").add()
        .value(" ").add().method("_level1", "getBytesTotal").add()
        .value(" ").add().method("lost", "getBytesLoaded").add().trace();
    S s;
    s.call("createEmptyMovieClip", { "holder", 1 }).pop()
        .call("createEmptyMovieClip", { "lost", 2 }).pop()
        .method("_root", "getBytesLoaded").value("/").add().method("_root", "getBytesTotal").add().trace();
    getUrl2(s, "child.swf", "holder", 0x40);
    getUrl2(s, "child.swf", "_level1", 0);
    getUrl2(s, "missing.swf", "lost", 0x40);
    s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
    const QString main = QString::number(movieWithActions(s.program(), 8).size());
    const QString size = QString::number(child.size());
    const QStringList lines = folder.run(QStringLiteral("main.swf"), s, 4);
    // The child's own frame-1 script traces three lines for each copy; only the reports are checked here.
    const QStringList reports = lines.filter(QRegularExpression(QStringLiteral("^\\d+/\\d+")));
    const QString arrived = size + "/" + size + " " + size + " 0";
    EXPECT_EQ(reports, QStringList({ main + "/" + main, "0/0 undefined 0", arrived, arrived })) << lines.join('\n').toStdString();
}

// Loaded text and its %XX escapes read as UTF-8, or in the movie's code
// page (GBK here) once System.useCodepage is set: for LoadVars and for
// variables loaded into a clip alike.
TEST(MovieLoading, LoadedTextFollowsUseCodepage)
{
    Folder folder;
    const QString li = QString::fromUtf8("\xE6\x9D\x8E");       // 李
    const QString liLei = QString::fromUtf8("\xE6\x9D\x8E\xE9\x9B\xB7"); // 李雷
    folder.write(QStringLiteral("gbk.txt"), "raw=\xC0\xEE\xC0\xD7&esc=%C0%EE%C0%D7+x");
    folder.write(QStringLiteral("utf8.txt"), "raw=\xE6\x9D\x8E&esc=%E6%9D%8E+x");
    const auto movie = [](const char* file, bool useCodepage) {
        S onLoad;
        onLoad.member("this", { "raw" }).trace().member("this", { "esc" }).trace();
        S report;
        report.value("v ").member("v", { "esc" }).add().trace();
        S s;
        if (useCodepage)
            s.setMember("System", "useCodepage", S().value(true));
        s.assign("lv", S().construct("LoadVars"))
            .setMember("lv", "onLoad", S().function("", { "ok" }, onLoad))
            .method("lv", "load", { file }).pop()
            .call("createEmptyMovieClip", { "v", 1 }).pop();
        getUrl2(s, file, "v", 0xC0);
        s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
        return s;
    };
    EXPECT_EQ(folder.run(QStringLiteral("gbk.swf"), movie("gbk.txt", true), 3),
        QStringList({ "v undefined", liLei, liLei + " x", "v " + liLei + " x" }));
    EXPECT_EQ(folder.run(QStringLiteral("utf8.swf"), movie("utf8.txt", false), 3),
        QStringList({ "v undefined", li, li + " x", "v " + li + " x" }));
}

// A web address is refused to a local movie of version 7 and later
// (IllegalRequest on the next frames); one of version 6 may ask the web,
// which is never reached, so it hears nothing. A path out of the movie's
// folder is refused to both.
TEST(MovieLoading, WebRequestsOfOldMoviesStayUnanswered)
{
    Folder folder;
    S error;
    error.value("error ").var("code").add().trace();
    S s;
    s.call("createEmptyMovieClip", { "a", 1 }).pop()
        .call("createEmptyMovieClip", { "b", 2 }).pop()
        .assign("l", S().construct("MovieClipLoader"))
        .function("f", { "t", "code" }, error).setMember("l", "onLoadError", S().var("f"))
        .method("l", "loadClip", { "http://example.com/x.swf", "a" }).pop()
        .method("l", "loadClip", { "../x.swf", "b" }).pop();
    const auto run = [&](int version) {
        folder.write(QStringLiteral("v%1.swf").arg(version), movieWithActions(s.program(), version));
        QStringList lines;
        swf::PlaybackOptions options;
        options.trace = [&lines](const QString& line) { lines << line; };
        auto playback = swf::Playback::open(folder.dir.path() + QStringLiteral("/v%1.swf").arg(version), options);
        EXPECT_TRUE(playback.ok());
        for (int i = 1; playback.ok() && i < 6; ++i)
            playback.value()->nextFrame();
        return lines;
    };
    EXPECT_EQ(run(6), QStringList({ "error IllegalRequest" }));
    EXPECT_EQ(run(7), QStringList({ "error IllegalRequest", "error IllegalRequest" }));
}

// GET and POST to a local file: the file is read as it is, neither the
// query of the address nor the variables sent change what comes back.
TEST(MovieLoading, SendingToALocalFileReadsTheFile)
{
    Folder folder;
    folder.write(QStringLiteral("vars.txt"), "n=1&word=ok");
    S got;
    got.value("got ").var("str").add().trace();
    S report;
    report.value("v ").member("v", { "n" }).add().value(" ").add().member("v", { "word" }).add().trace();
    S s;
    s.assign("o", S().construct("LoadVars"))
        .setMember("o", "n", S().value(9))
        .assign("t", S().construct("LoadVars"))
        .setMember("t", "onData", S().function("", { "str" }, got))
        .assign("u", S().construct("LoadVars"))
        .setMember("u", "onData", S().function("", { "str" }, got))
        .value("POST").var("t").value("vars.txt?n=7").methodWith("o", "sendAndLoad", 3).pop()
        .value("GET").var("u").value("vars.txt?n=7").methodWith("o", "sendAndLoad", 3).pop()
        .call("createEmptyMovieClip", { "v", 1 }).pop()
        .setMember("v", "n", S().value(5));
    getUrl2(s, "vars.txt?n=6", "v", 0xC1); // loadVariables("vars.txt?n=6", v, "GET")
    s.function("report", {}, report).setMember("this", "onEnterFrame", S().var("report"));
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 3),
        QStringList({ "v 5 undefined", "got n=1&word=ok", "got n=1&word=ok", "v 1 ok" }));
}

// _url is the address of the file a clip's movie came from: the first
// movie's for its own clips, the loaded file's for a loaded movie's, and a
// movie can load itself by it.
TEST(MovieLoading, UrlNamesTheMoviesOwnFile)
{
    Folder folder;
    S child;
    child.value("child ").member("this", { "_url" }).add().trace();
    folder.write(QStringLiteral("parts/child.swf"), movieWithActions(child.program(), 8));
    S s;
    s.call("createEmptyMovieClip", { "holder", 1 }).pop()
        .value("main ").member("holder", { "_url" }).add().trace();
    getUrl2(s, "parts/child.swf", "holder", 0x40);
    const QString base = QUrl::fromLocalFile(QDir(folder.dir.path()).canonicalPath()).toString();
    EXPECT_EQ(folder.run(QStringLiteral("main.swf"), s, 4),
        QStringList({ "main " + base + "/main.swf", "child " + base + "/parts/child.swf" }));
}
