// Path styles of the file systems the system runs on. Path rules in the common
// layer are pure functions of a style, so the Windows rules stay testable on Linux.
#ifndef TOMEVA_PLATFORM_PATH_STYLE_H_
#define TOMEVA_PLATFORM_PATH_STYLE_H_

namespace tomeva::platform {

enum class PathStyle {
  kPosix,    // absolute paths start with "/"; "/" and "\" both separate; no drives
  kWindows,  // "X:\" drives, "\" separates
};

// The style of paths on this machine's disks.
constexpr PathStyle NativePathStyle() {
#ifdef _WIN32
  return PathStyle::kWindows;
#else
  return PathStyle::kPosix;
#endif
}

// The separator written between folder names on disk in the given style.
constexpr char Separator(PathStyle style) { return style == PathStyle::kWindows ? '\\' : '/'; }

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_PATH_STYLE_H_
