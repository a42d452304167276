// The loaded movie's strings and names: frame labels, instance names and the
// export table, decoded as the movie's version says and found by scripts.

#include "support/ScriptSupport.h"

#include "swf/movie/Movie.h"
#include "swf/runtime/SpriteInstance.h"

#include <gtest/gtest.h>

using namespace text_support;

namespace {

// "第二幕" (act two) as a version-5 movie stores it (GBK) and as later ones do (UTF-8).
const QByteArray ActTwoGbk("\xb5\xda\xb6\xfe\xc4\xbb");
const QByteArray ActTwoUtf8("\xe7\xac\xac\xe4\xba\x8c\xe5\xb9\x95");

QByteArray withNul(const QByteArray& bytes)
{
    return bytes + QByteArray(1, '\0');
}

// Frame 1 jumps to the label with gotoAndPlay; frame 2 stops, so only the jump
// reaches frame 3, the labelled one, which traces and stops.
QByteArray labelJumpMovie(int version, const QByteArray& label)
{
    swfw::Movie movie(version, 100, 100, 12);
    movie.doAction(Asm().record(0x8C, withNul(label)).op(0x06).end().bytes()); // GotoLabel, Play
    movie.showFrame();
    movie.doAction(Asm().push({ "frame 2" }).trace().op(0x07).end().bytes()); // trace, Stop
    movie.showFrame();
    movie.frameLabel(label);
    movie.doAction(Asm().push({ "landed" }).trace().op(0x07).end().bytes());
    movie.showFrame();
    return movie.bytes();
}

} // namespace

TEST(MovieStrings, GotoLabelFindsAChineseLabelInEitherEncoding)
{
    const struct {
        int version;
        QByteArray label;
    } cases[] = { { 5, ActTwoGbk }, { 6, ActTwoUtf8 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.version);
        ScriptedStage stage(labelJumpMovie(c.version, c.label));
        ASSERT_TRUE(stage.playback);
        const swf::Movie& movie = stage.stage().movie();
        ASSERT_EQ(movie.root().labels.size(), 1u);
        EXPECT_EQ(movie.root().labels[0].first, QStringLiteral("第二幕"));
        EXPECT_EQ(movie.root().frameForLabel(QStringLiteral("第二幕")), 3);

        stage.tick();
        EXPECT_EQ(stage.lines, QStringList { QStringLiteral("landed") });
        EXPECT_EQ(stage.stage().root().currentFrame(), 3);
    }
}

TEST(MovieStrings, InstanceNamesUseTheMovieEncoding)
{
    // A version-5 clip named "第二幕" in GBK reads back as the same name a script would write.
    swfw::Movie movie(5, 100, 100, 12);
    swfw::Sprite empty;
    empty.showFrame();
    movie.defineSprite(2, empty);
    swfw::Placement placement = swfw::Placement::place(1, 2);
    placement.name = ActTwoGbk;
    movie.placeObject2(placement);
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    const auto& frame = playback->stage().movie().root().frames[0];
    ASSERT_EQ(frame.size(), 1u);
    ASSERT_TRUE(frame[0].place && frame[0].place->name);
    EXPECT_EQ(*frame[0].place->name, QStringLiteral("第二幕"));
}

TEST(MovieStrings, ExportTableKeepsTheLaterOfRepeatedNames)
{
    // Two ExportAssets tags: "Hero" names sprite 2 and then sprite 3; "Tile"
    // names sprite 4; sprite 4 is also "第二幕" (GBK, a version-5 movie).
    swfw::Movie movie(5, 100, 100, 12);
    swfw::Sprite empty;
    empty.showFrame();
    for (uint16_t id : { 2, 3, 4 })
        movie.defineSprite(id, empty);
    swfw::BitWriter first;
    first.writeU16(2);                       // two names
    first.writeU16(2);                       // sprite 2
    first.writeString("Hero");               //   as "Hero"
    first.writeU16(4);                       // sprite 4
    first.writeString("Tile");               //   as "Tile"
    movie.tag(56, first.bytes());
    swfw::BitWriter second;
    second.writeU16(2);                      // two names
    second.writeU16(3);                      // sprite 3
    second.writeString("Hero");              //   as "Hero" again
    second.writeU16(4);                      // sprite 4
    second.writeString(ActTwoGbk);           //   as "第二幕"
    movie.tag(56, second.bytes());
    movie.showFrame();
    auto playback = load(movie.bytes());
    ASSERT_TRUE(playback);
    const swf::ExportTable& exports = playback->stage().movie().exports();

    ASSERT_EQ(exports.entries().size(), 4u); // every export, in file order
    EXPECT_EQ(exports.characterFor(QStringLiteral("Hero")), 3);
    EXPECT_EQ(exports.characterFor(QStringLiteral("hero")), 3); // case only decides between exact matches
    EXPECT_EQ(exports.characterFor(QStringLiteral("TILE")), 4);
    EXPECT_EQ(exports.characterFor(QStringLiteral("第二幕")), 4);
    EXPECT_EQ(exports.characterFor(QStringLiteral("Villain")), 0);
    EXPECT_EQ(exports.nameOf(4), QStringLiteral("第二幕")); // the last name given
    EXPECT_EQ(exports.nameOf(2), QStringLiteral("Hero"));
    EXPECT_EQ(exports.nameOf(9), QString());
    // The stage answers attachMovie's question from the same table.
    EXPECT_EQ(playback->stage().exportedCharacter(QStringLiteral("hero")), 3);
}

TEST(MovieStrings, ExactCaseWinsOverAnEarlierCaseVariant)
{
    swf::ExportTable table;
    table.add({ 5, QStringLiteral("Coin") });
    table.add({ 6, QStringLiteral("coin") });
    table.add({ 7, QStringLiteral("COIN") });
    EXPECT_EQ(table.characterFor(QStringLiteral("Coin")), 5);
    EXPECT_EQ(table.characterFor(QStringLiteral("coin")), 6);
    EXPECT_EQ(table.characterFor(QStringLiteral("cOiN")), 7); // no exact match: the latest variant
}
