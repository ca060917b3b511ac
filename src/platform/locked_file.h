// A small file held under an exclusive advisory lock (flock) for as long as its
// object lives. The kernel drops the lock when the process ends in any way, so a
// locked file whose lock another process can take belongs to nobody alive: this
// is how an operation's journal tells a running operation from an interrupted one.
#ifndef TOMEVA_PLATFORM_LOCKED_FILE_H_
#define TOMEVA_PLATFORM_LOCKED_FILE_H_

#include <optional>
#include <string>
#include <string_view>

#include "platform/result.h"

namespace tomeva::platform {

class LockedFile {
 public:
  // Ends the temporary name under which Create makes the file.
  static constexpr std::string_view kTemporarySuffix = ".new~";

  // Creates a new file at path, locked before any other process can see it:
  // it is made under a temporary name beside path, locked, then renamed.
  // Fails when path exists.
  static Result<LockedFile> Create(const std::string& path);
  // Opens and locks the existing file at path; nullopt when it is missing or
  // another living process holds its lock.
  static std::optional<LockedFile> TryLock(const std::string& path);

  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  // Closes the file, which releases the lock (the file itself stays).
  ~LockedFile();

  const std::string& path() const { return path_; }
  // Appends text with one write, so that a line is either whole or the last,
  // torn, line of the file.
  Status Append(std::string_view text);
  // The whole content.
  Result<std::string> ReadAll() const;
  // Empties the file (it stays, locked).
  Status Truncate();

 private:
  LockedFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  void Close();

  int fd_ = -1;
  std::string path_;
};

// True when both paths name the same existing file (same device and inode), as
// a hard link made by a move that did not finish does.
bool SameFile(const std::string& a, const std::string& b);

// The identity of the existing file at path ("device:inode"), which a rename
// or hard link keeps; nullopt when there is no such file.
std::optional<std::string> FileIdentity(const std::string& path);

}  // namespace tomeva::platform

#endif  // TOMEVA_PLATFORM_LOCKED_FILE_H_
