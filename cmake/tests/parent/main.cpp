// Creates the vertical status bar through the embedded build's registration file and
// feeds it one reading through its typed class; prints the event it raises.
#include <kyv/Kyvvstat.h>
#include <kyv/class_info.h>
#include <kyv/error.h>
#include <kyv/registry.h>
#include <kyv/site.h>

#include <cstdio>

namespace {

struct EventPrinter : kyv::Site {
  void eventRaised(kyv::Control&, const kyv::EventInfo& event) override {
    std::printf("event %.*s\n", static_cast<int>(event.name.size()), event.name.data());
  }
};

}  // namespace

int main() {
  try {
    kyv::Registry registry;
    EventPrinter printer;
    kyv::ControlPtr control = registry.create("KyvVStatus.Kyvvstat");
    control->setSite(&printer);
    control->InitProperties();
    control->Resize();
    int16_t reading = 30;
    dynamic_cast<kyv::Kyvvstat&>(*control).incbar(reading);
    return 0;
  } catch (const kyv::Error& e) {
    std::fprintf(stderr, "parent_app: %s\n", e.what());
    return 1;
  }
}
