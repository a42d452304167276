#pragma once

// The program's version record. On Windows the same facts are compiled into the
// executable's version resource (vantrel.rc); on Linux the application takes its
// name, version and organisation from here.
namespace vantrel::version {

inline constexpr const char* ProductName = "Vantrel";
inline constexpr const char* FileVersion = "3.00";
inline constexpr const char* ProductVersion = "3.00";
inline constexpr const char* CompanyName = "Talvenor";
inline constexpr const char* Comments = "Vantrel 播放器：播放 Flash 动画与游戏";
inline constexpr const char* InternalName = "Vantrel";
inline constexpr const char* OriginalFilename = "vantrel";

// Chinese (PRC), Unicode: the text block "080404B0".
inline constexpr int LanguageId = 0x0804;
inline constexpr int CodePage = 1200;

inline constexpr int FileVersionNumbers[4] = {3, 0, 0, 0};
inline constexpr int ProductVersionNumbers[4] = {3, 0, 0, 0};

} // namespace vantrel::version

namespace vantrel {

// Registers the compiled-in pictures (see Resources.h); call once at start-up.
void initResources();

} // namespace vantrel
