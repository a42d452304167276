#include "support/TextSupport.h"

#include "swf/format/TagCodes.h"
#include "swf/runtime/ButtonInstance.h"
#include "swf/runtime/ScriptRunner.h"
#include "swf/runtime/Stage.h"

using namespace text_support;

namespace {

constexpr swfw::Rgba Red { 255, 0, 0, 255 };
constexpr swfw::Rgba Green { 0, 255, 0, 255 };
constexpr swfw::Rgba Blue { 0, 0, 255, 255 };
constexpr swfw::Rgba Grey { 128, 128, 128, 255 };

class RecordingRunner : public swf::ScriptRunner {
public:
    void runFrameActions(swf::SpriteInstance&, const QByteArray&) override { }
    void runInitActions(swf::SpriteInstance&, std::uint16_t, const QByteArray&) override { }
    void buttonAction(swf::DisplayObject& button, swf::SpriteInstance& timeline, const QByteArray& actions) override
    {
        calls.push_back(actions);
        EXPECT_EQ(button.parent(), &timeline);
    }
    std::vector<QByteArray> calls;
};

void writePart(swfw::BitWriter& out, uint8_t states, uint16_t id, uint16_t depth)
{
    out.writeU8(states);
    out.writeU16(id);
    out.writeU16(depth);
    out.writeMatrix(swfw::Matrix {});
    out.writeCxForm(swfw::CxForm {}, true);
}

// A 100x100 stage with a 40x40 button at (20, 20): red up, green over, blue down;
// click runs {1}, key 'k' runs {2}, pointer entering runs {3}.
swfw::Movie buttonMovie(bool masked)
{
    swfw::Movie movie(6, 100, 100, 12);
    movie.setBackgroundColor({ 255, 255, 255, 255 });
    movie.defineShape(1, rectShape(Red, 400, 400, 800, 800), 1);
    movie.defineShape(2, rectShape(Green, 400, 400, 800, 800), 1);
    movie.defineShape(3, rectShape(Blue, 400, 400, 800, 800), 1);
    movie.defineShape(4, rectShape(Grey, 0, 0, 1000, 2000), 1); // the left half
    swfw::BitWriter out;
    out.writeU16(10);
    out.writeU8(0);
    out.writeU16(0);
    int offsetField = 3;
    writePart(out, 0x01 | 0x08, 1, 1);
    writePart(out, 0x02, 2, 1);
    writePart(out, 0x04, 3, 1);
    out.writeU8(0);
    int actionsAt = int(out.bytes().size());
    const std::pair<std::pair<uint8_t, uint8_t>, char> actions[] = { { { 0x08, 0 }, 1 }, { { 0, 'k' << 1 }, 2 }, { { 0x01, 0 }, 3 } };
    for (std::size_t i = 0; i < std::size(actions); ++i) {
        out.writeU16(i + 1 < std::size(actions) ? 6 : 0);
        out.writeU8(actions[i].first.first);
        out.writeU8(actions[i].first.second);
        out.writeU8(uint8_t(actions[i].second));
        out.writeU8(0);
    }
    QByteArray body = out.bytes();
    int offset = actionsAt - offsetField;
    body[offsetField] = char(offset & 0xff);
    body[offsetField + 1] = char(offset >> 8);
    movie.tag(swf::TagDefineButton2, body);
    if (masked) {
        swfw::Placement mask;
        mask.depth = 1;
        mask.characterId = 4;
        mask.clipDepth = 5;
        movie.placeObject2(mask);
    }
    swfw::Placement place;
    place.depth = 2;
    place.characterId = 10;
    movie.placeObject2(place);
    movie.showFrame();
    return movie;
}

} // namespace

TEST(Buttons, StatesFollowThePointerAndRunTheirActions)
{
    auto playback = load(buttonMovie(false).bytes());
    ASSERT_TRUE(playback);
    RecordingRunner runner;
    playback->setScriptRunner(&runner);
    const QRgb red = qRgb(255, 0, 0), green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255);
    EXPECT_EQ(renderStage(*playback).pixel(40, 40), red);
    EXPECT_FALSE(playback->cursorIsHand());

    playback->mouseMove(QPointF(10, 10)); // outside
    EXPECT_FALSE(playback->cursorIsHand());
    playback->mouseMove(QPointF(40, 40));
    EXPECT_TRUE(playback->cursorIsHand());
    EXPECT_EQ(renderStage(*playback).pixel(40, 40), green);
    ASSERT_EQ(runner.calls.size(), 1u);
    EXPECT_EQ(runner.calls[0][0], 3); // pointer entered

    playback->mouseDown(QPointF(40, 40));
    EXPECT_EQ(renderStage(*playback).pixel(40, 40), blue);
    playback->mouseUp(QPointF(40, 40));
    EXPECT_EQ(renderStage(*playback).pixel(40, 40), green);
    ASSERT_EQ(runner.calls.size(), 2u);
    EXPECT_EQ(runner.calls[1][0], 1); // the click

    // Pressed, dragged off and released outside: no click.
    playback->mouseDown(QPointF(40, 40));
    playback->mouseMove(QPointF(90, 90));
    EXPECT_TRUE(playback->cursorIsHand()); // still holding the button
    playback->mouseUp(QPointF(90, 90));
    EXPECT_FALSE(playback->cursorIsHand());
    EXPECT_EQ(renderStage(*playback).pixel(40, 40), red);
    EXPECT_EQ(runner.calls.size(), 2u);

    playback->keyDown(Qt::Key_K, QStringLiteral("k"));
    playback->keyDown(Qt::Key_J, QStringLiteral("j"));
    ASSERT_EQ(runner.calls.size(), 3u);
    EXPECT_EQ(runner.calls[2][0], 2);
}

TEST(Buttons, MasksLimitTheHitArea)
{
    auto playback = load(buttonMovie(true).bytes());
    ASSERT_TRUE(playback);
    playback->mouseMove(QPointF(30, 40)); // under the mask's left half
    EXPECT_TRUE(playback->cursorIsHand());
    playback->mouseMove(QPointF(55, 40)); // button, but masked away
    EXPECT_FALSE(playback->cursorIsHand());
}

TEST(Buttons, SurviveTheStageBeingRebuiltUnderThem)
{
    auto playback = load(buttonMovie(false).bytes());
    ASSERT_TRUE(playback);
    playback->mouseMove(QPointF(40, 40));
    playback->mouseDown(QPointF(40, 40));
    // Rewinding rebuilds the display list: the pressed button is gone.
    playback->stage().replayTo(1);
    EXPECT_FALSE(playback->cursorIsHand());
    playback->mouseUp(QPointF(40, 40));
    playback->mouseMove(QPointF(41, 41));
    EXPECT_TRUE(playback->cursorIsHand()); // the new button takes the pointer
}
