#include "kyv/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "kyv/error.h"

namespace kyv {
namespace {

// A path as messages show it: as it is, or quoted whole when it holds control bytes.
std::string shown(const std::string& path) {
  for (const char c : path)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return quoteForMessage(path, path.size());
  return path;
}

[[noreturn]] void fail(const char* doing, const std::string& path, const std::string& why) {
  raise(ErrorKind::InvalidPropertyValue,
        std::string("Invalid property value: cannot ") + doing + " " + shown(path) + ": " + why);
}

[[noreturn]] void fail(const char* doing, const std::string& path, int error) {
  fail(doing, path, std::strerror(error));
}

void refuseNul(const char* doing, const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) fail(doing, path, "not a file name");
}

// Writes all of `contents` to `fd`; the errno of the failure, or 0.
int writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t n = ::write(fd, contents.data(), contents.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    contents.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

// Waits until what was written to `fd` is on the disk; the errno of the failure, or 0.
int flush(int fd) {
  while (::fsync(fd) != 0)
    if (errno != EINTR) return errno;
  return 0;
}

// Waits until the entries of the folder holding `file` are on the disk, so that a file
// renamed there is found under its new name after a power cut; the errno of the failure,
// or 0. A file system that cannot flush a folder (EINVAL) has nothing more to do.
int flushFolderOf(const std::string& file) {
  const size_t slash = file.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = flush(fd);
  ::close(fd);
  return error == EINVAL ? 0 : error;
}

// Writes into what `path` names as it stands: a device, a pipe.
void writeInPlace(const std::string& path, std::string_view contents) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) fail("write", path, errno);
  const int error = writeAll(fd, contents);
  const int closed = ::close(fd) == 0 ? 0 : errno;
  if (error || closed) fail("write", path, error ? error : closed);
}

// A new file beside `target` that nothing else uses: ".NAME.XXXXXX" in its folder.
int createBeside(const std::string& target, std::string& temporary) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    const unsigned long unique = static_cast<unsigned long>(tick) ^ (static_cast<unsigned long>(::getpid()) << 20) ^
                                 (static_cast<unsigned long>(counter++) << 40);
    temporary = folder + "." + name + "." + std::to_string(unique % 1000000007UL);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view contents) {
  refuseNul("write", path);
  std::string target = path;
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) fail("write", path, errno);
  if (exists && !S_ISREG(existing.st_mode)) return writeInPlace(path, contents);
  if (exists) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) fail("write", path, errno);
    target = resolved;
  }
  std::string temporary;
  const int fd = createBeside(target, temporary);
  if (fd < 0) fail("write", path, errno);
  // The bytes reach the disk before the new name does: a rename that reached it first
  // would leave an empty file after a power cut.
  int error = writeAll(fd, contents);
  if (!error && exists && ::fchmod(fd, existing.st_mode & 07777) != 0) error = errno;
  if (!error) error = flush(fd);
  if (::close(fd) != 0 && !error) error = errno;
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error) {
    ::unlink(temporary.c_str());
    fail("write", path, error);
  }
  // The new file is in place; whether it stays there after a power cut is told too.
  error = flushFolderOf(target);
  if (error) fail("write", path, error);
}

std::string readFileAtMost(const std::string& path, size_t maxBytes) {
  refuseNul("read", path);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) fail("read", path, errno);
  std::string text;
  char buffer[65536];
  int error = 0;
  while (text.size() <= maxBytes) {
    const size_t room = maxBytes - text.size();
    const ssize_t n = ::read(fd, buffer, room < sizeof buffer ? room + 1 : sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (error) fail("read", path, error);
  if (text.size() > maxBytes) fail("read", path, "it holds more than " + std::to_string(maxBytes) + " bytes");
  return text;
}

}  // namespace kyv
