// Where a movie's requests lead: inside the folder tree of the first movie,
// relative to the movie that asks, never out of the tree, never to the web.

#include "swf/archive/Loader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using swf::archive::Loader;

namespace {

struct Tree {
    QTemporaryDir dir;
    QString root;
    Loader loader;
    Tree()
    {
        root = dir.path() + QStringLiteral("/movies");
        QDir().mkpath(root + QStringLiteral("/parts"));
        write(root + QStringLiteral("/parts/level.xml"), "<l/>");
        write(dir.path() + QStringLiteral("/secret.txt"), "no");
        loader.setRoot(root);
    }
    static void write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
};

} // namespace

TEST(Loader, ResolvesInsideTheTree)
{
    Tree t;
    const QString parts = t.root + QStringLiteral("/parts");
    const QString want = parts + QStringLiteral("/level.xml");
    for (const QString& url : { QStringLiteral("parts/level.xml"), QStringLiteral("parts\\level.xml"),
             QStringLiteral("./parts/../parts/level.xml"), QStringLiteral("parts/level.xml?x=1"),
             QStringLiteral("file://") + want, QStringLiteral("file:") + want,
             QStringLiteral("FILE://localhost") + want }) {
        const Loader::Target r = t.loader.resolve(url, t.root);
        EXPECT_EQ(r.kind, Loader::Kind::File) << qPrintable(url) << " " << qPrintable(r.reason);
        EXPECT_EQ(r.path, want) << qPrintable(url);
    }
    // Relative to the movie that asks, which may sit deeper than the first.
    EXPECT_EQ(t.loader.resolve(QStringLiteral("level.xml"), parts).path, want);
    EXPECT_EQ(t.loader.resolve(QStringLiteral("../parts/level.xml"), parts).path, want);
    auto bytes = t.loader.read(QStringLiteral("parts/level.xml"), t.root);
    ASSERT_TRUE(bytes.ok());
    EXPECT_EQ(bytes.value(), QByteArray("<l/>"));
}

TEST(Loader, RefusesWhatLeavesTheTree)
{
    Tree t;
    QStringList logged;
    t.loader.setLog([&](const QString& line) { logged << line; });
    for (const QString& url : { QStringLiteral("../secret.txt"), QStringLiteral("parts/../../secret.txt"),
             QStringLiteral("..\\secret.txt"), t.dir.path() + QStringLiteral("/secret.txt"),
             QStringLiteral("/etc/passwd"), QStringLiteral("../../../../../../etc/passwd"),
             QStringLiteral("file:///etc/passwd"), QStringLiteral("file://otherhost/x"),
             QStringLiteral("javascript:alert(1)"), QString() }) {
        EXPECT_EQ(t.loader.resolve(url, t.root).kind, Loader::Kind::Refused) << qPrintable(url);
        EXPECT_FALSE(t.loader.read(url, t.root).ok()) << qPrintable(url);
    }
    EXPECT_EQ(logged.size(), 10);
    // A link inside the tree that points out of it is refused as well.
    ASSERT_TRUE(QFile::link(t.dir.path() + QStringLiteral("/secret.txt"), t.root + QStringLiteral("/link.txt")));
    EXPECT_EQ(t.loader.resolve(QStringLiteral("link.txt"), t.root).kind, Loader::Kind::Refused);
}

TEST(Loader, WebAddressesAreNeverFetched)
{
    Tree t;
    for (const QString& url : { QStringLiteral("http://example.com/a.xml"), QStringLiteral("HTTPS://example.com/") }) {
        EXPECT_EQ(t.loader.resolve(url, t.root).kind, Loader::Kind::Remote);
        EXPECT_FALSE(t.loader.read(url, t.root).ok());
    }
    // Without a root (a movie from memory) nothing is read.
    Loader none;
    EXPECT_EQ(none.resolve(QStringLiteral("a.xml"), QString()).kind, Loader::Kind::Refused);
}
