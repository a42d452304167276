#pragma once

// Hot spots of the two hand pointers (:/vantrel/pointerA.png and
// :/vantrel/pointerB.png), in pixels from the top-left corner of their
// 32 x 32 pictures. Each is the tip of the raised index finger.
namespace vantrel::pointers {

struct HotSpot {
    int x;
    int y;
};

inline constexpr HotSpot PointerAHotSpot = {12, 1};
inline constexpr HotSpot PointerBHotSpot = {12, 9};

inline constexpr const char* PointerAPath = ":/vantrel/pointerA.png";
inline constexpr const char* PointerBPath = ":/vantrel/pointerB.png";

} // namespace vantrel::pointers
