#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "expect_error.h"
#include "kyv/files.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string failure(const std::function<void()>& f) { return messageOf(kyv::ErrorKind::InvalidPropertyValue, f); }

// A folder of the test's own (tests run in parallel), emptied first.
struct Files : ::testing::Test {
  Files()
      : folder(fs::path(KYV_TEST_DIR) /
               ("files-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
  }
  fs::path folder;
};

// Writes beyond `bytes` fail with "File too large" while the object lives, as on a disk
// that fills up.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved);
    previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  rlimit saved{};
  void (*previous)(int);
};

TEST_F(Files, WritesANewFileAndReplacesAnOldOneKeepingItsPermissions) {
  const fs::path path = folder / "bag.json";
  kyv::writeFileAtomically(path, "first");
  EXPECT_EQ(contents(path), "first");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  kyv::writeFileAtomically(path, "second, longer");
  EXPECT_EQ(contents(path), "second, longer");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(names(), std::vector<std::string>{"bag.json"});
}

// A failed write (the disk is full) is reported and leaves the good file that was there.
TEST_F(Files, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const fs::path path = folder / "bag.json";
  kyv::writeFileAtomically(path, "good");
  std::string message;
  {
    const FileSizeLimit limit(1000);
    message = failure([&] { kyv::writeFileAtomically(path, std::string(5000, 'x')); });
  }
  EXPECT_EQ(message, "Invalid property value: cannot write " + path.string() + ": File too large");
  EXPECT_EQ(contents(path), "good");
  EXPECT_EQ(names(), std::vector<std::string>{"bag.json"});
  EXPECT_EQ(failure([&] { kyv::writeFileAtomically((folder / "no-folder" / "x.json").string(), "x"); }),
            "Invalid property value: cannot write " + (folder / "no-folder" / "x.json").string() +
                ": No such file or directory");
}

// Devices are written as they stand, never replaced by a file.
TEST_F(Files, DevicesAreWrittenInPlace) {
  EXPECT_EQ(failure([] { kyv::writeFileAtomically("/dev/full", "x"); }),
            "Invalid property value: cannot write /dev/full: No space left on device");
  kyv::writeFileAtomically("/dev/null", "x");
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
}

TEST_F(Files, ALinkIsFollowedAndStaysALink) {
  const fs::path target = folder / "target.json", link = folder / "link.json";
  kyv::writeFileAtomically(target, "old");
  fs::create_symlink(target, link);
  kyv::writeFileAtomically(link, "new");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(contents(target), "new");
}

TEST_F(Files, ReadsStopAtTheLimit) {
  const fs::path path = folder / "ten";
  kyv::writeFileAtomically(path, "0123456789");
  EXPECT_EQ(kyv::readFileAtMost(path, 10), "0123456789");
  EXPECT_EQ(failure([&] { kyv::readFileAtMost(path, 9); }),
            "Invalid property value: cannot read " + path.string() + ": it holds more than 9 bytes");
  EXPECT_EQ(failure([] { kyv::readFileAtMost("/dev/zero", 1 << 20); }),
            "Invalid property value: cannot read /dev/zero: it holds more than 1048576 bytes");
  EXPECT_EQ(failure([&] { kyv::readFileAtMost(folder / "missing", 10); }),
            "Invalid property value: cannot read " + (folder / "missing").string() + ": No such file or directory");
  EXPECT_EQ(failure([&] { kyv::readFileAtMost(folder, 10); }),
            "Invalid property value: cannot read " + folder.string() + ": Is a directory");
}

// A name with a NUL byte would name another file than it shows: it is refused.
TEST_F(Files, NamesWithANulByteAreRefused) {
  using namespace std::string_literals;
  const std::string name = (folder / "a").string() + "\0b"s;
  EXPECT_EQ(failure([&] { kyv::writeFileAtomically(name, "x"); }),
            "Invalid property value: cannot write \"" + (folder / "a").string() + "\\x00b\": not a file name");
  EXPECT_NE(failure([&] { kyv::readFileAtMost(name, 1); }).find("not a file name"), std::string::npos);
  EXPECT_TRUE(names().empty());
}

}  // namespace
