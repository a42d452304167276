#pragma once

// The compiled-in pictures (skin bitmap, icon, pointers) live in a static
// library, so the resource system has to be told about them once at start-up,
// before anything opens one of the ":/vantrel/..." paths.
namespace vantrel {

inline constexpr const char* SkinBitmapPath = ":/vantrel/skin.bmp";
inline constexpr const char* IconPath = ":/vantrel/icon.png";

// Registers the resources; calling it again is harmless.
void initResources();

} // namespace vantrel
