// Creates every control class through the embedded build's registration file, printing
// "created CLASS" for each, and feeds the vertical status bar one reading through its typed
// class; prints the event it raises.
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
    for (const char* name :
         {"KyvVStatus.Kyvvstat", "KyvHStatus.Hstat", "Kyv1Digit.sseg", "Kyv4Digit.fourseg", "Kyv6Digit.sixseg",
          "KyvMovingBars.KyvMovingBar", "KyvPulse.HeartBeat", "KyvMultiBars.KyvMultiBar"}) {
      registry.create(name);
      std::printf("created %s\n", name);
    }
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
