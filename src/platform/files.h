// The file system as the rest of the system needs it: existence tests, whole and
// partial reads, copies and moves that never leave a half-written target, deletion,
// folder creation and the current directory. Every operation reports failure as a
// value; none throws.
#ifndef TOMEVA_PLATFORM_FILES_H_
#define TOMEVA_PLATFORM_FILES_H_

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace tomeva::platform {

// True when path names an existing regular file (a folder does not count).
bool FileExists(const std::string& path);
// True when path names an existing folder.
bool FolderExists(const std::string& path);
// True when anything exists at path (a file, a folder, a device, a FIFO...).
bool PathExists(const std::string& path);
// True when path names an existing folder this process may create files in;
// "" stands for the current folder.
bool FolderWritable(const std::string& path);
// True when path (an existing file or folder) lies on a disk of this machine;
// false on a network or user-space (FUSE) file system, where a read through a
// memory map that fails (the server gone, a connection lost) kills the process
// instead of returning an error, and when the file system cannot be told.
bool OnLocalFileSystem(const std::string& path);

// Bytes from_pos up to (not including) min(to_pos, file size); empty when the file
// cannot be opened or from_pos is at or past its end.
std::string ReadFileRange(const std::string& path, uint64_t from_pos, uint64_t to_pos);
// The whole file, refused when it is larger than max_bytes.
Result<std::string> ReadWholeFile(const std::string& path, uint64_t max_bytes = 1ull << 30);
// Writes data to path + ".tmp~" and renames it over path once complete.
Status WriteFileAtomic(const std::string& path, std::string_view data);

enum class Overwrite { kNo, kYes };

// Writes data to a new file at path as CopyFile writes its target: to a
// temporary file beside it, renamed into place only when complete (no partial
// file on failure), without forcing it to disk. With Overwrite::kNo an
// existing path is an error and untouched.
Status WriteNewFile(const std::string& path, std::string_view data, Overwrite overwrite);

// Copies source to target. The data goes to a file that gets target's name only
// when the copy is complete, so a failed copy leaves no partial target: with
// Overwrite::kNo a file without a name in target's folder where the file system
// has them (nothing is left of it after a failure or a kill), otherwise a
// temporary file beside target (target + ".tmp~"). With Overwrite::kNo an
// existing target is an error and untouched, also when another copy gives it
// that name meanwhile. The copy keeps the source's modification time.
Status CopyFile(const std::string& source, const std::string& target, Overwrite overwrite);
// Moves source to target (rename, or copy and delete across file systems). With
// Overwrite::kNo an existing target is an error.
Status MoveFile(const std::string& source, const std::string& target, Overwrite overwrite);
// Renames source to target on the same file system unless target exists
// ("file already exists: target"); a kill leaves one name or the other
// where the file system renames without replacing in one step.
Status RenameWithoutReplacing(const std::string& source, const std::string& target);
Status DeleteFile(const std::string& path);
// Creates path and every missing folder above it; an existing folder is fine.
Status CreateFolders(const std::string& path);

std::optional<uint64_t> FileSize(const std::string& path);
// Last modification time of the file, in UTC.
std::optional<std::chrono::sys_seconds> FileModifiedTime(const std::string& path);
// Modification time with nanoseconds plus the size: changes whenever the file does.
std::optional<std::string> FileStamp(const std::string& path);

std::string CurrentDirectory();
Status SetCurrentDirectory(const std::string& path);

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_FILES_H_
