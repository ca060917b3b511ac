// POSIX implementation of the file operations.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace tomeva::platform {
namespace {

Error SystemError(std::string_view what, const std::string& path, int err) {
  return Error{std::string(what) + " " + path + ": " + std::strerror(err)};
}

// Closes a file descriptor when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

Status WriteAll(int fd, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return SystemError("cannot write", path, errno);
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return Status::Ok();
}

std::string TempNameBeside(const std::string& target) { return target + ".tmp~"; }

// Gives source the name target unless target exists; 0 or the errno of the
// failure (EEXIST when target exists). One atomic rename where the file
// system can refuse to replace (a kill leaves one name or the other); where
// it cannot, a hard link (which fails when target exists) and the unlink of
// source, two changes of the folders instead of one.
int RenameNoReplace(const std::string& source, const std::string& target) {
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  if (::link(source.c_str(), target.c_str()) != 0) return errno;
  ::unlink(source.c_str());
  return 0;
}

// Puts the finished temporary file in place of target.
Status Publish(const std::string& temp, const std::string& target, Overwrite overwrite) {
  if (overwrite == Overwrite::kYes) {
    if (::rename(temp.c_str(), target.c_str()) != 0) {
      int err = errno;
      ::unlink(temp.c_str());
      return SystemError("cannot replace", target, err);
    }
    return Status::Ok();
  }
  const int err = RenameNoReplace(temp, target);
  if (err != 0) {
    ::unlink(temp.c_str());
    if (err == EEXIST) return Error{"file already exists: " + target};
    return SystemError("cannot create", target, err);
  }
  return Status::Ok();
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool FolderExists(const std::string& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FolderWritable(const std::string& path) {
  const std::string folder = path.empty() ? std::string(".") : path;
  return FolderExists(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool OnLocalFileSystem(const std::string& path) {
  struct statfs fs;
  if (::statfs(path.c_str(), &fs) != 0) return false;
  // The magic numbers of linux/magic.h (and of file systems that keep theirs
  // in their own headers) whose files live on another machine or in another
  // process.
  switch (static_cast<uint32_t>(fs.f_type)) {
    case 0x6969u:      // NFS
    case 0x517Bu:      // SMB
    case 0xFF534D42u:  // CIFS
    case 0xFE534D42u:  // SMB2
    case 0x65735546u:  // FUSE (sshfs, rclone, ...)
    case 0x73757245u:  // Coda
    case 0x5346414Fu:  // AFS
    case 0x6B414653u:  // kAFS
    case 0x01021997u:  // 9P (virtual machines' shared folders)
    case 0x00C36400u:  // Ceph
    case 0x47504653u:  // GPFS
    case 0x564C:       // NCP
    case 0x7461636Fu:  // OCFS2
    case 0x01161970u:  // GFS2
    case 0x786F4256u:  // VirtualBox shared folders
      return false;
    default:
      return true;
  }
}

std::string ReadFileRange(const std::string& path, uint64_t from_pos, uint64_t to_pos) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return {};
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (to_pos > size) to_pos = size;
  if (from_pos >= to_pos) return {};
  ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  std::string out(to_pos - from_pos, '\0');
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::pread(fd.get(), out.data() + done, out.size() - done,
                        static_cast<off_t>(from_pos + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return out;
}

Result<std::string> ReadWholeFile(const std::string& path, uint64_t max_bytes) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return SystemError("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) return SystemError("cannot read", path, errno);
  if (!S_ISREG(st.st_mode)) return Error{"not a file: " + path};
  if (static_cast<uint64_t>(st.st_size) > max_bytes) {
    return Error{"file too large: " + path};
  }
  std::string out(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::read(fd.get(), out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemError("cannot read", path, errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  out.resize(done);
  return out;
}

Status WriteFileAtomic(const std::string& path, std::string_view data) {
  std::string temp = TempNameBeside(path);
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return SystemError("cannot create", temp, errno);
  Status written = WriteAll(fd.get(), data, temp);
  if (written.ok() && ::fsync(fd.get()) != 0) written = SystemError("cannot write", temp, errno);
  if (::close(fd.Release()) != 0 && written.ok()) written = SystemError("cannot write", temp, errno);
  if (!written.ok()) {
    ::unlink(temp.c_str());
    return written;
  }
  return Publish(temp, path, Overwrite::kYes);
}

Status WriteNewFile(const std::string& path, std::string_view data, Overwrite overwrite) {
  if (overwrite == Overwrite::kNo && ::access(path.c_str(), F_OK) == 0) {
    return Error{"file already exists: " + path};
  }
  std::string temp = TempNameBeside(path);
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return SystemError("cannot create", temp, errno);
  Status written = WriteAll(fd.get(), data, temp);
  if (::close(fd.Release()) != 0 && written.ok()) written = SystemError("cannot write", temp, errno);
  if (!written.ok()) {
    ::unlink(temp.c_str());
    return written;
  }
  return Publish(temp, path, overwrite);
}

namespace {

// Copies the size bytes of in (read from its current offset) into out and
// gives out in's modification time, as a library copy should.
Status CopyContents(int in, const struct stat& st, int out, const std::string& source,
                    const std::string& target) {
  // The kernel copies between the files itself where it can (copy_file_range:
  // no trip through this process's memory, a shared extent on file systems
  // that can); otherwise, and for whatever it leaves, read and write.
  off_t kernel_copied = 0;
  while (kernel_copied < st.st_size) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr,
                                        static_cast<size_t>(st.st_size - kernel_copied), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    kernel_copied += n;
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SystemError("cannot read", source, errno);
    if (n == 0) break;
    Status written = WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(n)), target);
    if (!written.ok()) return written;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::futimens(out, times);
  return Status::Ok();
}

// The outcome of copying into a file without a name first.
enum class UnnamedCopy { kDone, kUnavailable };

// Copies in into a file without a name in target's folder (O_TMPFILE) and
// then names it target, which fails when target exists. Creating the file
// takes no lock of the folder (the kernel's search for a free inode can be
// long), naming it takes one link; a failure or a kill before the name is
// given leaves nothing. kUnavailable (and in rewound) where the file system
// or the system cannot do it.
Result<UnnamedCopy> CopyUnnamed(int in, const struct stat& st, const std::string& source,
                                const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  Fd out(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0644));
  if (out.get() < 0) return UnnamedCopy::kUnavailable;
  Status copied = CopyContents(in, st, out.get(), source, target);
  if (!copied.ok()) return copied.error();
  const std::string handle = "/proc/self/fd/" + std::to_string(out.get());
  if (::linkat(AT_FDCWD, handle.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) != 0) {
    const int err = errno;
    if (err == EEXIST) return Error{"file already exists: " + target};
    // Without /proc, or where the file system will not link it.
    if (err != ENOENT && err != EPERM && err != EOPNOTSUPP && err != EXDEV) {
      return SystemError("cannot create", target, err);
    }
    if (::lseek(in, 0, SEEK_SET) != 0) return SystemError("cannot read", source, errno);
    return UnnamedCopy::kUnavailable;
  }
  if (::close(out.Release()) != 0) {
    const int err = errno;
    ::unlink(target.c_str());
    return SystemError("cannot write", target, err);
  }
  return UnnamedCopy::kDone;
}

}  // namespace

Status CopyFile(const std::string& source, const std::string& target, Overwrite overwrite) {
  if (overwrite == Overwrite::kNo && ::access(target.c_str(), F_OK) == 0) {
    return Error{"file already exists: " + target};
  }
  Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return SystemError("cannot open", source, errno);
  struct stat st;
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return Error{"not a file: " + source};
  }
  if (overwrite == Overwrite::kNo) {
    Result<UnnamedCopy> unnamed = CopyUnnamed(in.get(), st, source, target);
    if (!unnamed.ok()) return unnamed.error();
    if (*unnamed == UnnamedCopy::kDone) return Status::Ok();
  }
  std::string temp = TempNameBeside(target);
  Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) return SystemError("cannot create", temp, errno);
  Status copied = CopyContents(in.get(), st, out.get(), source, temp);
  if (::close(out.Release()) != 0 && copied.ok()) copied = SystemError("cannot write", temp, errno);
  if (!copied.ok()) {
    ::unlink(temp.c_str());
    return copied;
  }
  return Publish(temp, target, overwrite);
}

Status MoveFile(const std::string& source, const std::string& target, Overwrite overwrite) {
  if (!FileExists(source)) return Error{"no such file: " + source};
  if (overwrite == Overwrite::kNo) {
    const int err = RenameNoReplace(source, target);
    if (err == 0) return Status::Ok();
    if (err == EEXIST) return Error{"file already exists: " + target};
  } else if (::rename(source.c_str(), target.c_str()) == 0) {
    return Status::Ok();
  }
  // Across file systems (or where hard links are not allowed): copy, then delete.
  Status copied = CopyFile(source, target, overwrite);
  if (!copied.ok()) return copied;
  return DeleteFile(source);
}

Status RenameWithoutReplacing(const std::string& source, const std::string& target) {
  const int err = RenameNoReplace(source, target);
  if (err == 0) return Status::Ok();
  if (err == EEXIST) return Error{"file already exists: " + target};
  return SystemError("cannot rename " + source + " to", target, err);
}

Status DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return SystemError("cannot delete", path, errno);
  return Status::Ok();
}

Status CreateFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec && !FolderExists(path)) {
    return Error{"cannot create folder " + path + ": " + ec.message()};
  }
  return Status::Ok();
}

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::optional<std::chrono::sys_seconds> FileModifiedTime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::chrono::sys_seconds(std::chrono::seconds(st.st_mtim.tv_sec));
}

std::optional<std::string> FileStamp(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_ino);
}

std::string CurrentDirectory() {
  std::error_code ec;
  std::string dir = std::filesystem::current_path(ec).string();
  return ec ? std::string() : dir;
}

Status SetCurrentDirectory(const std::string& path) {
  if (::chdir(path.c_str()) != 0) return SystemError("cannot change to folder", path, errno);
  return Status::Ok();
}

}  // namespace tomeva::platform
