// One property write, one notification: every writable property of every control of the
// family tells its site once that it changed, by its own name, whatever the control does inside the write
// (a write that reaches several elements, or every digit of a row).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kyv/class_info.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/registry.h"
#include "kyv/site.h"

namespace {

struct NotificationRecorder final : kyv::Site {
  void propertyChanged(kyv::Control&, std::string_view property) override { heard.emplace_back(property); }
  std::vector<std::string> heard;
};

std::string joined(const std::vector<std::string>& names) {
  std::string all;
  for (const std::string& name : names) all += (all.empty() ? "" : ", ") + name;
  return all;
}

TEST(PropertyNotifications, EveryWriteOfEveryClassNotifiesOnce) {
  kyv::Registry registry;
  const std::vector<kyv::RegisteredClass> classes = registry.registeredClasses();
  ASSERT_EQ(classes.size(), 8u);
  int writes = 0;
  for (const kyv::RegisteredClass& registered : classes) {
    kyv::ControlPtr control = registry.create(registered.className);
    NotificationRecorder recorder;
    control->setSite(&recorder);
    const kyv::ClassInfo& info = control->classInfo();
    control->UserControl().setRectTwips(0, 0, info.defaultWidth(), info.defaultHeight());
    control->InitProperties();
    control->Resize();
    for (int index = 0; index < static_cast<int>(info.members().size()); ++index) {
      const kyv::MemberInfo& member = info.members()[index];
      if (member.kind != kyv::MemberKind::Property) continue;
      kyv::Variant value = control->invoke(index, kyv::Invoke::Get, nullptr);
      recorder.heard.clear();
      control->invoke(index, kyv::Invoke::Put, &value);
      ++writes;
      EXPECT_EQ(recorder.heard, std::vector<std::string>{std::string(member.name)})
          << registered.className << "." << member.name << " notified " << joined(recorder.heard);
    }
    control->setSite(nullptr);
  }
  EXPECT_GT(writes, 40);
}

}  // namespace
