// A save survives a power cut only when the new file's bytes reach the disk before its
// name does, and its name before the save reports success. This program defines fsync
// itself, ahead of the C library's: each call is recorded with what the descriptor names
// and what the saved file holds at that moment, then made (or failed on request).
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

struct Flush {
  fs::path what;  // the file or folder the descriptor names
  bool folder = false;
  std::string saved;  // what the file being saved held then ("-" when it did not exist)
};

std::vector<Flush> flushes;
fs::path watched;  // the file being saved
int failCall = 0;  // the call, counted from 1, that fails with EIO; 0: none

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "-";
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

// Visible to the dynamic linker whatever the build hides by default.
extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  char target[PATH_MAX] = {};
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  const fs::path what = n > 0 ? fs::path(std::string(target, static_cast<size_t>(n))) : fs::path();
  flushes.push_back({what, fs::is_directory(what), contents(watched)});
  if (static_cast<int>(flushes.size()) == failCall) {
    errno = EIO;
    return -1;
  }
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

struct Saving : ::testing::Test {
  Saving()
      : folder(fs::path(KYV_TEST_DIR) /
               ("sync-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    folder = fs::canonical(folder);
    watched = folder / "bag.json";
    flushes.clear();
    failCall = 0;
  }
  ~Saving() override { watched.clear(); }
  std::vector<std::string> names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
    return out;
  }
  // Checks the flushes of one save of `now` over `before`: the new file, holding its
  // bytes, while the old name still held the old ones; then the folder, with the new
  // bytes under the old name.
  void expectFlushedInOrder(const std::string& before, const std::string& now) {
    ASSERT_EQ(flushes.size(), 2u);
    EXPECT_FALSE(flushes[0].folder);
    EXPECT_EQ(flushes[0].what.parent_path(), folder);
    EXPECT_NE(flushes[0].what.filename(), "bag.json");
    EXPECT_EQ(flushes[0].saved, before);
    EXPECT_TRUE(flushes[1].folder);
    EXPECT_EQ(flushes[1].what, folder);
    EXPECT_EQ(flushes[1].saved, now);
  }
  fs::path folder;
};

TEST_F(Saving, FlushesTheNewFileBeforeTheRenameAndTheFolderAfter) {
  kyv::writeFileAtomically(watched, "first");
  expectFlushedInOrder("-", "first");
  flushes.clear();
  kyv::writeFileAtomically(watched, "second");
  expectFlushedInOrder("first", "second");
  EXPECT_EQ(names(), std::vector<std::string>{"bag.json"});
}

// A file that cannot be flushed is not renamed: the old one stays, the new one goes.
TEST_F(Saving, AFailedFlushOfTheFileIsAFailedWrite) {
  kyv::writeFileAtomically(watched, "good");
  flushes.clear();
  failCall = 1;
  EXPECT_EQ(messageOf(kyv::ErrorKind::InvalidPropertyValue, [&] { kyv::writeFileAtomically(watched, "new"); }),
            "Invalid property value: cannot write " + watched.string() + ": Input/output error");
  EXPECT_EQ(flushes.size(), 1u);
  EXPECT_EQ(contents(watched), "good");
  EXPECT_EQ(names(), std::vector<std::string>{"bag.json"});
}

// After the rename the new file is in place, but the save may not survive a power cut:
// the caller hears so.
TEST_F(Saving, AFailedFlushOfTheFolderIsReported) {
  failCall = 2;
  EXPECT_EQ(messageOf(kyv::ErrorKind::InvalidPropertyValue, [&] { kyv::writeFileAtomically(watched, "new"); }),
            "Invalid property value: cannot write " + watched.string() + ": Input/output error");
  EXPECT_EQ(flushes.size(), 2u);
  EXPECT_EQ(contents(watched), "new");
  EXPECT_EQ(names(), std::vector<std::string>{"bag.json"});
}

// A file named through a link in another folder is saved, and flushed, where it lies.
TEST_F(Saving, ALinkedFileIsFlushedInItsOwnFolder) {
  const fs::path elsewhere = folder / "elsewhere", link = folder / "link.json";
  fs::create_directories(elsewhere);
  watched = elsewhere / "bag.json";
  kyv::writeFileAtomically(watched, "old");
  fs::create_symlink(watched, link);
  flushes.clear();
  kyv::writeFileAtomically(link, "new");
  ASSERT_EQ(flushes.size(), 2u);
  EXPECT_EQ(flushes[0].what.parent_path(), elsewhere);
  EXPECT_EQ(flushes[0].saved, "old");
  EXPECT_EQ(flushes[1].what, elsewhere);
  EXPECT_EQ(flushes[1].saved, "new");
}

}  // namespace
