// Files under an exclusive advisory lock.
#include "platform/locked_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/files.h"

namespace tomeva::platform {
namespace {

Error SystemError(std::string_view what, const std::string& path) {
  return Error{std::string(what) + " " + path + ": " + std::strerror(errno)};
}

}  // namespace

Result<LockedFile> LockedFile::Create(const std::string& path) {
  const std::string temporary = path + std::string(kTemporarySuffix);
  const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return SystemError("cannot create", temporary);
  LockedFile file(fd, temporary);
  if (::flock(fd, LOCK_EX) != 0) {
    ::unlink(temporary.c_str());
    return SystemError("cannot lock", temporary);
  }
  // An existing path must not be replaced.
  Status renamed = RenameWithoutReplacing(temporary, path);
  if (!renamed.ok()) {
    ::unlink(temporary.c_str());
    return renamed.error();
  }
  file.path_ = path;
  return file;
}

std::optional<LockedFile> LockedFile::TryLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  LockedFile file(fd, path);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return std::nullopt;
  return file;
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

LockedFile::~LockedFile() { Close(); }

void LockedFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Status LockedFile::Append(std::string_view text) {
  if (::lseek(fd_, 0, SEEK_END) < 0) return SystemError("cannot write", path_);
  const ssize_t written = ::write(fd_, text.data(), text.size());
  if (written != static_cast<ssize_t>(text.size())) return SystemError("cannot write", path_);
  return Status::Ok();
}

Status LockedFile::Truncate() {
  if (::ftruncate(fd_, 0) != 0) return SystemError("cannot empty", path_);
  return Status::Ok();
}

Result<std::string> LockedFile::ReadAll() const {
  std::string content;
  char buffer[4096];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(fd_, buffer, sizeof(buffer), offset);
    if (n < 0) return SystemError("cannot read", path_);
    if (n == 0) break;
    content.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  return content;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::optional<std::string> FileIdentity(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace tomeva::platform
