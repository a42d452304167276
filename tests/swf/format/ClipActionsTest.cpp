// Clip-action records at the end of PlaceObject2/3: 16-bit events before
// version 6, 32-bit from then on with the key code of KeyPress records.

#include "swf/format/Control.h"
#include "swf/format/TagCodes.h"

#include <gtest/gtest.h>

using namespace swf;

namespace {

template<size_t N>
Reader readerOver(const uint8_t (&bytes)[N], qint64 base = 0)
{
    return Reader(reinterpret_cast<const char*>(bytes), N, base);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

} // namespace

TEST(ClipActions, Version5RecordsHave16BitEvents)
{
    const uint8_t body[] = {
        0, 0,                         // reserved
        0x41, 0x00,                   // all events: load, keyUp
        0x01, 0x00,                   // record 1: load
        2, 0, 0, 0,                   //   two bytes of actions
        0x06, 0x00,                   //   Play, End
        0x40, 0x00,                   // record 2: keyUp (no key code before version 6)
        1, 0, 0, 0,                   //   one byte of actions
        0x00,                         //   End
        0x00, 0x00,                   // no more records
    };
    Reader reader = readerOver(body);
    std::vector<ClipAction> actions;
    ASSERT_TRUE(readClipActions(reader, 5, actions).ok());
    const std::vector<ClipAction> expected {
        { 0x01, 0, bytes({ 0x06, 0x00 }) },
        { 0x40, 0, bytes({ 0x00 }) },
    };
    EXPECT_EQ(actions, expected);
    EXPECT_TRUE(reader.atEnd());
}

TEST(ClipActions, Version6KeyPressRecordsCarryTheirKey)
{
    const uint8_t body[] = {
        0, 0,                         // reserved
        0x00, 0x00, 0x02, 0x00,       // all events: keyPress
        0x00, 0x00, 0x02, 0x00,       // record 1: keyPress
        3, 0, 0, 0,                   //   three bytes: the key, then actions
        13,                           //   key code 13 (Enter)
        0x07, 0x00,                   //   Stop, End
        0x01, 0x00, 0x00, 0x00,       // record 2: load
        1, 0, 0, 0,                   //   one byte of actions
        0x00,                         //   End
        0, 0, 0, 0,                   // no more records
    };
    Reader reader = readerOver(body);
    std::vector<ClipAction> actions;
    ASSERT_TRUE(readClipActions(reader, 6, actions).ok());
    const std::vector<ClipAction> expected {
        { ClipEventKeyPressBit, 13, bytes({ 0x07, 0x00 }) },
        { 0x01, 0, bytes({ 0x00 }) },
    };
    EXPECT_EQ(actions, expected);
}

TEST(ClipActions, ARecordLongerThanTheTagIsAnErrorAtItsActions)
{
    const uint8_t body[] = {
        0, 0,                         // reserved
        0x01, 0x00, 0x00, 0x00,       // all events: load
        0x01, 0x00, 0x00, 0x00,       // record 1: load
        1, 0, 0, 0,                   //   one byte
        0x00,                         //   End
        0x01, 0x00, 0x00, 0x00,       // record 2: load
        9, 0, 0, 0,                   //   nine bytes claimed
        0x06, 0x00,                   //   but two remain
    };
    Reader reader = readerOver(body, 200);
    std::vector<ClipAction> actions;
    auto result = readClipActions(reader, 6, actions);
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.error().kind, ErrorKind::Truncated);
    EXPECT_EQ(result.error().offset, 200 + 23); // where record 2's actions begin
    ASSERT_EQ(actions.size(), 1u); // the whole record before it is kept
    EXPECT_EQ(actions[0].actions, bytes({ 0x00 }));
}

TEST(ClipActions, PlaceObject2KeepsItsPlacementWhenItsClipActionsAreCut)
{
    const uint8_t body[] = {
        0xa2,                         // has clip actions, has name, has character
        1, 0,                         // depth 1
        5, 0,                         // character 5
        'c', 'a', 't', 0,             // name "cat"
        0, 0,                         // clip actions: reserved
        0x01, 0x00,                   //   all events: load (version 5: 16 bits)
        0x01, 0x00,                   //   record 1: load
        1, 0, 0, 0,                   //     one byte
        0x00,                         //     End
        0x40,                         //   record 2's events, cut in half
    };
    Reader reader = readerOver(body);
    auto place = readPlaceObject(reader, TagPlaceObject2, 5);
    ASSERT_TRUE(place.ok()) << qPrintable(place.error().detail);
    EXPECT_EQ(place.value().depth, 1);
    EXPECT_EQ(place.value().characterId, 5);
    EXPECT_EQ(place.value().name, QStringLiteral("cat"));
    ASSERT_EQ(place.value().clipActions.size(), 1u);
    EXPECT_EQ(place.value().clipActions[0].events, 0x01u);
}
