#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "gauge.h"
#include "kyv/class_info.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/registry.h"

namespace {

using Names = std::vector<std::string>;

std::string writeRegistration(const std::string& name, const std::string& json) {
  const std::string path = std::string(KYV_TEST_DIR) + "/" + name;
  std::ofstream(path) << json;
  return path;
}

std::string createError(kyv::Registry& registry, const std::string& className) {
  try {
    registry.create(className);
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::CannotCreateObject) << className;
    return e.what();
  }
  ADD_FAILURE() << className << " was created";
  return {};
}

TEST(Registry, OpensALibraryOnFirstCreateAndClosesItAfterTheLast) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  EXPECT_EQ(registry.loadedLibraries(), Names{});
  kyv::ControlPtr a = registry.create("KyvTestGauge.Gauge");
  EXPECT_EQ(registry.loadedLibraries(), Names{"KyvTestGauge"});
  kyv::ControlPtr b = registry.create("kyvtestgauge.GAUGE");
  EXPECT_EQ(b->classInfo().className(), "KyvTestGauge.Gauge");
  EXPECT_EQ(b->registry(), &registry);
  a.reset();
  EXPECT_EQ(registry.loadedLibraries(), Names{"KyvTestGauge"});
  b.reset();
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

TEST(Registry, AControlBuiltOutsideItIsDeletedAndLeavesItsLibraryOpen) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  kyv::ControlPtr made = registry.create("KyvTestGauge.Gauge");
  // Of the same class and naming the registry, but built here: it is not the library's.
  kyv::ControlPtr built(new Gauge(&registry));
  built.reset();
  EXPECT_EQ(registry.loadedLibraries(), Names{"KyvTestGauge"});
  made.reset();
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

TEST(Registry, DescribeLeavesNoLibraryOpen) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  std::string name;
  size_t members = 0;
  registry.describe("KyvTestGauge.Gauge", [&](const kyv::ClassInfo& info) {
    name = std::string(info.className());
    members = info.members().size();
  });
  EXPECT_EQ(name, "KyvTestGauge.Gauge");
  EXPECT_EQ(members, 4u);
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

// The library stays open while the callback runs, even when it creates and drops the
// class's only instance; it is closed once the callback returned.
TEST(Registry, DescribeKeepsTheLibraryOpenWhileInstancesComeAndGo) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  std::string name;
  registry.describe("KyvTestGauge.Gauge", [&](const kyv::ClassInfo& info) {
    registry.create("KyvTestGauge.Gauge").reset();
    EXPECT_EQ(registry.loadedLibraries(), Names{"KyvTestGauge"});
    name = std::string(info.className());
  });
  EXPECT_EQ(name, "KyvTestGauge.Gauge");
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

TEST(Registry, NamesThatLookLikePathsAreRefusedWithoutOpeningAnything) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  for (const char* name :
       {"../x.y", "a/b.c", "", "NoDot", "x.y.z", "/lib/libc.so.6", "KyvTestGauge.", ".Gauge", "Kyv Test.Gauge"}) {
    const std::string why = createError(registry, name);
    EXPECT_NE(why.find("not a class name"), std::string::npos) << why;
  }
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

TEST(Registry, UnregisteredClassesCannotBeCreated) {
  kyv::Registry registry(KYV_TEST_REGISTRY);
  EXPECT_NE(createError(registry, "Kyv.Nothing").find("\"Kyv.Nothing\" is not registered"), std::string::npos);
  kyv::Registry empty(std::string(KYV_TEST_DIR) + "/no-such-registration.json");
  createError(empty, "KyvTestGauge.Gauge");
}

TEST(Registry, MissingForeignAndWrongLibrariesGiveClearMessages) {
  const std::string file =
      writeRegistration("odd-registration.json",
                        std::string(R"({"classes": {"Ghost.Thing": "/nonexistent/libGhost.so", "Foreign.Thing": ")") +
                            KYV_TEST_FOREIGN + R"(", "KyvTestGauge.Other": ")" + KYV_TEST_GAUGE + R"("}})");
  kyv::Registry registry(file);
  EXPECT_NE(createError(registry, "Ghost.Thing").find("/nonexistent/libGhost.so"), std::string::npos);
  EXPECT_NE(createError(registry, "Foreign.Thing").find("is not a Kyv control library"), std::string::npos);
  EXPECT_NE(createError(registry, "KyvTestGauge.Other").find("does not provide class"), std::string::npos);
  EXPECT_EQ(registry.loadedLibraries(), Names{});
}

TEST(Registry, RegistrationFilesAreEditedPerLibrary) {
  const std::string file = std::string(KYV_TEST_DIR) + "/edited-registration.json";
  std::remove(file.c_str());
  ASSERT_TRUE(kyv::Registry::registerClasses(file, KYV_TEST_GAUGE, {"KyvTestGauge.Gauge"}));
  ASSERT_TRUE(kyv::Registry::registerClasses(file, "/elsewhere/libOther.so", {"Other.Thing"}));
  {
    kyv::Registry registry(file);
    EXPECT_NE(registry.create("KyvTestGauge.Gauge"), nullptr);
  }
  ASSERT_TRUE(kyv::Registry::unregisterLibrary(file, KYV_TEST_GAUGE));
  kyv::Registry registry(file);
  createError(registry, "KyvTestGauge.Gauge");
  EXPECT_NE(createError(registry, "Other.Thing").find("/elsewhere/libOther.so"), std::string::npos);
}

TEST(Registry, TheBuildRecordsLibrariesRelativeToTheRegistrationFile) {
  std::ifstream in(KYV_TEST_REGISTRY);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find(R"("KyvTestGauge.Gauge": "libKyvTestGauge.so")"), std::string::npos) << text;
}

TEST(Registry, AFolderMovedAsAWholeStillWorks) {
  namespace fs = std::filesystem;
  const fs::path moved = fs::path(KYV_TEST_DIR) / "moved" / "lib" / "kyv";
  fs::remove_all(moved.parent_path().parent_path());
  fs::create_directories(moved);
  fs::copy_file(KYV_TEST_GAUGE, moved / "libKyvTestGauge.so");
  fs::copy_file(KYV_TEST_REGISTRY, moved / "kyvregistry.json");
  // One folder up, the same library through "..".
  const std::string above = writeRegistration(
      "moved/lib/registry.json", R"({"classes": {"KyvTestGauge.Gauge": "kyv/../kyv/libKyvTestGauge.so"}})");

  kyv::Registry registry((moved / "kyvregistry.json").string());
  const std::vector<kyv::RegisteredClass> classes = registry.registeredClasses();
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_EQ(classes[0].className, "KyvTestGauge.Gauge");
  EXPECT_EQ(classes[0].library, "KyvTestGauge");
  EXPECT_EQ(classes[0].path, (moved / "libKyvTestGauge.so").string());
  EXPECT_NE(registry.create("KyvTestGauge.Gauge"), nullptr);

  kyv::Registry fromAbove(above);
  EXPECT_EQ(fromAbove.registeredClasses().at(0).path, (moved / "libKyvTestGauge.so").string());
  EXPECT_NE(fromAbove.create("KyvTestGauge.Gauge"), nullptr);
}

TEST(Registry, AMissingUnreadableOrCorruptFileHasItsOwnMessage) {
  const std::string dir = KYV_TEST_DIR;
  const std::pair<std::string, std::string> cases[] = {
      {dir + "/no-such-registration.json", "registration file " + dir + "/no-such-registration.json does not exist"},
      {dir + "/no-such-folder/kyvregistry.json", "does not exist"},
      {dir, "registration file " + dir + " cannot be read: Is a directory"},
      {writeRegistration("cut.json", R"({"classes": {"KyvTestGauge.Gauge": )"), "cut.json is corrupt: it is not JSON"},
      {writeRegistration("list.json", R"({"classes": ["KyvTestGauge.Gauge"]})"),
       "list.json is corrupt: it has no \"classes\" object"},
      {writeRegistration("number.json", R"({"classes": {"KyvTestGauge.Gauge": 7}})"),
       "number.json is corrupt: the library of \"KyvTestGauge.Gauge\" is not a path"},
  };
  for (const auto& [file, message] : cases) {
    kyv::Registry registry(file);
    const std::string why = createError(registry, "KyvTestGauge.Gauge");
    EXPECT_NE(why.find("class \"KyvTestGauge.Gauge\" cannot be found: the "), std::string::npos) << why;
    EXPECT_NE(why.find(message), std::string::npos) << why;
    try {
      registry.registeredClasses();
      ADD_FAILURE() << file << " was listed";
    } catch (const kyv::Error& e) {
      EXPECT_EQ(e.kind(), kyv::ErrorKind::CannotCreateObject);
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(Registry, AMisspeltClassNameGetsTheNearestRegisteredNames) {
  const std::string file = writeRegistration(
      "hints.json",
      R"({"classes": {"KyvTestGauge.Gauge": "a/libKyvTestGauge.so", "KyvTestGauge.Gadget": "a/libKyvTestGauge.so",
                                    "KyvDial.Gauge": "b/libKyvDial.so"}})");
  kyv::Registry registry(file);
  EXPECT_NE(createError(registry, "KyvTestGauge.Guage").find("is not registered; did you mean KyvTestGauge.Gauge?"),
            std::string::npos);
  // Ties are all named, in the order of the class names.
  EXPECT_NE(createError(registry, "KyvTestGauge.Gadge").find("did you mean KyvTestGauge.Gadget or KyvTestGauge.Gauge?"),
            std::string::npos);
  // Without its library part, the name is compared with the class parts.
  EXPECT_NE(createError(registry, "gauge")
                .find("not a class name of the form Library.Class; did you mean KyvDial.Gauge or "
                      "KyvTestGauge.Gauge?"),
            std::string::npos);
  const std::string far = createError(registry, "Kyv.Nothing");
  EXPECT_NE(far.find("class \"Kyv.Nothing\" is not registered"), std::string::npos) << far;
  EXPECT_EQ(far.find("did you mean"), std::string::npos) << far;
}

TEST(Registry, ListsTheClassesSortedWithTheirLibraries) {
  const std::string file = writeRegistration(
      "listed.json", R"({"classes": {"Zeta.Z": "/opt/kyv/libZeta.so", "Alpha.A": "x/libAlpha.so.1"}})");
  const std::vector<kyv::RegisteredClass> classes = kyv::Registry(file).registeredClasses();
  ASSERT_EQ(classes.size(), 2u);
  EXPECT_EQ(classes[0].className, "Alpha.A");
  EXPECT_EQ(classes[0].library, "Alpha");
  EXPECT_EQ(classes[0].path, std::string(KYV_TEST_DIR) + "/x/libAlpha.so.1");
  EXPECT_EQ(classes[1].className, "Zeta.Z");
  EXPECT_EQ(classes[1].path, "/opt/kyv/libZeta.so");
}

// A registration that cannot be written (the disk is full) fails and leaves the file as it
// was: the classes registered before stay registered.
TEST(Registry, AFailedRegistrationLeavesTheFileAsItWas) {
  const std::string file = std::string(KYV_TEST_DIR) + "/full-registration.json";
  std::remove(file.c_str());
  ASSERT_TRUE(kyv::Registry::registerClasses(file, KYV_TEST_GAUGE, {"KyvTestGauge.Gauge"}));
  std::ifstream before(file);
  const std::string text((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 20;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = kyv::Registry::registerClasses(file, "/elsewhere/libOther.so", {"Other.Thing"});
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(written);
  std::ifstream after(file);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), text);
  kyv::Registry registry(file);
  EXPECT_NE(registry.create("KyvTestGauge.Gauge"), nullptr);
}

// Re-registration replaces the registration file whole: a registry reading it meanwhile
// (without a lock) always finds the class, and no temporary file stays behind.
TEST(Registry, ReadersNeverSeeAHalfWrittenRegistrationFile) {
  const std::string folder = std::string(KYV_TEST_DIR) + "/race";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string file = folder + "/registration.json";
  ASSERT_TRUE(kyv::Registry::registerClasses(file, KYV_TEST_GAUGE, {"KyvTestGauge.Gauge"}));
  std::atomic<bool> done{false};
  std::atomic<int> failedWrites{0};
  std::thread writer([&] {
    for (int i = 0; i < 200; ++i)
      if (!kyv::Registry::registerClasses(file, KYV_TEST_GAUGE, {"KyvTestGauge.Gauge"})) ++failedWrites;
    done = true;
  });
  int reads = 0, failedReads = 0;
  while (!done || reads < 100) {
    kyv::Registry registry(file);
    try {
      registry.describe("KyvTestGauge.Gauge", [](const kyv::ClassInfo&) {});
    } catch (const kyv::Error&) {
      ++failedReads;
    }
    ++reads;
  }
  writer.join();
  EXPECT_EQ(failedWrites, 0);
  EXPECT_EQ(failedReads, 0) << "of " << reads;
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
  EXPECT_EQ(names, Names{"registration.json"});
}

}  // namespace
