#pragma once

// Builds small movies with scripts, clip actions and buttons, and plays them
// with the script machine attached the way the player does: a tick, then
// the scripts; input, then the scripts.

#include "swf/Playback.h"
#include "swf/runtime/Stage.h"
#include "swf/avm1/stage/StageScripts.h"
#include "support/Assembler.h"
#include "tools/swfwriter/BitWriter.h"
#include "tools/swfwriter/Movie.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include <ostream>

// Trace lists print as their lines in failure messages.
inline void PrintTo(const QStringList& lines, std::ostream* os)
{
    *os << '[' << lines.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace events_test {

using swf::avm1::test::Asm;

inline void u16(QByteArray& b, uint16_t v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

inline void u32(QByteArray& b, uint32_t v)
{
    u16(b, uint16_t(v & 0xFFFF));
    u16(b, uint16_t(v >> 16));
}

// Actions that trace one string.
inline QByteArray traceBlock(const char* text)
{
    return Asm().push({ text }).trace().end().bytes();
}

// One clip-action record: the events it answers (32-bit flags), the key of
// a keyPress record, and its actions.
struct ClipAction {
    uint32_t flags;
    QByteArray actions;
    int key = -1;
};

// Clip-action records as PlaceObject2 carries them in movies of version 6 and later.
inline QByteArray clipActionRecords(const std::vector<ClipAction>& records)
{
    QByteArray out;
    u16(out, 0); // reserved
    uint32_t all = 0;
    for (const auto& r : records)
        all |= r.flags;
    u32(out, all);
    for (const auto& r : records) {
        u32(out, r.flags);
        u32(out, uint32_t(r.actions.size() + (r.key >= 0 ? 1 : 0)));
        if (r.key >= 0)
            out.append(char(r.key));
        out.append(r.actions);
    }
    u32(out, 0);
    return out;
}

// PlaceObject2 of a new named instance at `depth`, at (x, y) pixels, with clip actions (if any).
inline void placeNamed(swfw::TagList& tags, uint16_t depth, uint16_t id, const char* name, int x = 0, int y = 0,
    const std::vector<ClipAction>& actions = {})
{
    swfw::BitWriter w;
    uint8_t flags = 0x02 | 0x04 | 0x20; // character, matrix, name
    if (!actions.empty())
        flags |= 0x80;
    w.writeU8(flags);
    w.writeU16(depth);
    w.writeU16(id);
    w.writeMatrix(swfw::Matrix::translate(x * 20, y * 20));
    w.writeString(QByteArray(name));
    w.align();
    QByteArray body = w.bytes();
    if (!actions.empty())
        body.append(clipActionRecords(actions));
    tags.tag(swfw::TagCode::PlaceObject2, body, true);
}

// DefineButton2: one square shape for every state and the hit area, and
// action blocks by condition (ButtonCondition bits, a key code in bits 9..15).
inline QByteArray defineButton2(uint16_t id, uint16_t shapeId, const std::vector<std::pair<uint16_t, QByteArray>>& actions,
    bool trackAsMenu = false)
{
    QByteArray records;
    records.append(char(0x0F)); // up, over, down, hit
    u16(records, shapeId);
    u16(records, 1);            // depth
    records.append(char(0));    // identity matrix
    records.append(char(0));    // no colour transform
    records.append(char(0));    // end of records
    QByteArray body;
    u16(body, id);
    body.append(char(trackAsMenu ? 1 : 0));
    u16(body, actions.empty() ? 0 : uint16_t(2 + records.size())); // from this field to the first action record
    body.append(records);
    for (size_t i = 0; i < actions.size(); ++i) {
        const QByteArray& block = actions[i].second;
        u16(body, i + 1 == actions.size() ? 0 : uint16_t(4 + block.size()));
        u16(body, actions[i].first);
        body.append(block);
    }
    return body;
}

// A 10 fps, 200x200 movie with shape 1, a 40x40 px square at its origin.
inline swfw::Movie baseMovie(int version = 8)
{
    swfw::Movie movie(version, 200, 200, 10);
    swfw::Shape square;
    int fill = square.addFillStyle(swfw::FillStyle::solid(swfw::Rgba { 200, 0, 0, 255 }));
    square.fill1(fill).rect(0, 0, 800, 800);
    movie.defineShape(1, square, 3);
    return movie;
}

// The movie playing with its scripts; every trace() lands in `lines`.
class Player {
public:
    explicit Player(const QByteArray& bytes)
    {
        swf::PlaybackOptions options;
        options.trace = [this](const QString& line) { m_lines << line; };
        auto result = swf::Playback::fromBytes(bytes, options);
        EXPECT_TRUE(result.ok()) << (result.ok() ? "" : qPrintable(result.error().detail));
        if (!result.ok())
            return;
        m_playback = result.release();
    }

    bool ok() const { return m_playback != nullptr; }
    swf::Playback& playback() { return *m_playback; }
    swf::avm1::StageScripts& scripts() { return *m_playback->scripts(); }

    // Input reaches the scripts at once: the playback runs what it queued.
    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            m_playback->nextFrame();
    }
    void move(double x, double y) { m_playback->mouseMove({ x, y }); }
    void down(double x, double y) { m_playback->mouseDown({ x, y }); }
    void up(double x, double y) { m_playback->mouseUp({ x, y }); }
    void click(double x, double y) { move(x, y); down(x, y); up(x, y); }
    void keyDown(int key, const QString& text) { m_playback->keyDown(key, text); }
    void keyUp(int key, const QString& text) { m_playback->keyUp(key, text); }
    void wheel(int delta) { m_playback->mouseWheel(delta); }

    // The lines traced since the last call.
    QStringList take()
    {
        QStringList out = m_lines;
        m_lines.clear();
        return out;
    }

private:
    std::unique_ptr<swf::Playback> m_playback;
    QStringList m_lines;
};

} // namespace events_test
