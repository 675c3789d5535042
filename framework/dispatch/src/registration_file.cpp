#include "registration_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "kyv/error.h"
#include "kyv/names.h"

namespace kyv::registration {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

[[noreturn]] void fail(const std::string& file, const std::string& why) {
  raise(ErrorKind::CannotCreateObject, "the registration file " + file + " " + why);
}

// The whole file, or a message saying why it cannot be had.
std::string readWhole(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) fail(file, "does not exist");
    fail(file, std::string("cannot be read: ") + std::strerror(errno));
  }
  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      const int why = errno;
      ::close(fd);
      fail(file, std::string("cannot be read: ") + std::strerror(why));
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return text;
}

// The folder relative paths count from: the registration file's own, symbolic links
// resolved so that ".." steps out of the real folder.
fs::path baseFolder(const std::string& file) {
  std::error_code ec;
  const fs::path folder = fs::absolute(fs::path(file), ec).parent_path();
  const fs::path real = fs::weakly_canonical(folder, ec);
  return ec ? folder : real;
}

// "Lib" for ".../libLib.so".
std::string libraryName(const std::string& path) {
  std::string base = path.substr(path.find_last_of('/') + 1);
  if (base.rfind("lib", 0) == 0) base = base.substr(3);
  const size_t so = base.find(".so");
  return so == std::string::npos ? base : base.substr(0, so);
}

size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<RegisteredClass> read(const std::string& file) {
  const json doc = json::parse(readWhole(file), nullptr, false);
  if (doc.is_discarded()) fail(file, "is corrupt: it is not JSON");
  if (!doc.is_object() || !doc.contains("classes") || !doc["classes"].is_object())
    fail(file, "is corrupt: it has no \"classes\" object");
  const fs::path base = baseFolder(file);
  std::vector<RegisteredClass> classes;
  for (const auto& [name, library] : doc["classes"].items()) {
    if (!library.is_string() || library.get<std::string>().empty())
      fail(file, "is corrupt: the library of \"" + name + "\" is not a path");
    const fs::path path(library.get<std::string>());
    const std::string resolved = path.is_absolute() ? path.string() : (base / path).lexically_normal().string();
    classes.push_back({name, libraryName(resolved), resolved});
  }
  std::sort(classes.begin(), classes.end(),
            [](const RegisteredClass& a, const RegisteredClass& b) { return a.className < b.className; });
  return classes;
}

std::string relativeLibraryPath(const std::string& file, const std::string& library) {
  const fs::path relative = fs::path(library).lexically_relative(baseFolder(file));
  return relative.empty() ? library : relative.string();
}

// A name is near when a few edits make it (up to a quarter of its length, at least two);
// only the nearest names are given.
std::vector<std::string> nearestNames(std::string_view name, const std::vector<RegisteredClass>& classes) {
  const std::string wanted = foldedName(name);
  const bool classPartOnly = wanted.find('.') == std::string::npos;
  size_t best = std::string::npos;
  std::vector<std::string> names;
  for (const RegisteredClass& c : classes) {
    std::string candidate = foldedName(c.className);
    if (classPartOnly) candidate = candidate.substr(candidate.find('.') + 1);
    const size_t distance = editDistance(wanted, candidate);
    if (distance > std::max<size_t>(2, candidate.size() / 4) || distance > best) continue;
    if (distance < best) names.clear();
    best = distance;
    names.push_back(c.className);
  }
  return names;
}

}  // namespace kyv::registration
