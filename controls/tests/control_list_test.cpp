// The one list of controls, kept by kyv_add_control: the build's registration file holds
// exactly the listed libraries, and a control of the tests, added the documented way, is
// created by name from its own registration file while staying out of the family.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "kyv/control.h"
#include "kyv/controls.h"
#include "kyv/error.h"
#include "kyv/registry.h"

namespace {

std::set<std::string> registeredLibraries(const kyv::Registry& registry) {
  std::set<std::string> libraries;
  for (const kyv::RegisteredClass& c : registry.registeredClasses()) libraries.insert(c.library);
  return libraries;
}

TEST(ControlList, NamesEveryLibraryOfTheBuildsRegistrationFileOnce) {
  const std::set<std::string> listed(std::begin(kyv::kControlLibraries), std::end(kyv::kControlLibraries));
  EXPECT_EQ(listed.size(), kyv::kControlCount) << "a library is listed twice";
  EXPECT_EQ(registeredLibraries(kyv::Registry()), listed);
}

TEST(ControlList, EveryListedLibraryCreatesItsClasses) {
  kyv::Registry registry;
  for (const kyv::RegisteredClass& c : registry.registeredClasses()) {
    const kyv::ControlPtr control = registry.create(c.className);
    ASSERT_TRUE(control) << c.className;
    EXPECT_EQ(control->classInfo().className(), c.className);
  }
}

TEST(SampleControl, IsCreatedByNameFromItsOwnRegistrationFile) {
  kyv::Registry registry(KYV_SAMPLE_REGISTRY);
  EXPECT_EQ(registeredLibraries(registry), std::set<std::string>{"KyvSample"});
  const kyv::ControlPtr lamp = registry.create("KyvSample.Lamp");
  ASSERT_TRUE(lamp);
  EXPECT_FALSE(lamp->get("Lit").toBoolean());
  lamp->put("Lit", true);
  EXPECT_TRUE(lamp->get("Lit").toBoolean());
}

TEST(SampleControl, StaysOutOfTheFamily) {
  const auto* end = std::end(kyv::kControlLibraries);
  EXPECT_EQ(std::find(std::begin(kyv::kControlLibraries), end, std::string("KyvSample")), end);
  kyv::Registry family;
  try {
    family.create("KyvSample.Lamp");
    FAIL() << "the build's registration file offers the control of the tests";
  } catch (const kyv::Error& e) {
    EXPECT_EQ(e.kind(), kyv::ErrorKind::CannotCreateObject);
  }
}

}  // namespace
