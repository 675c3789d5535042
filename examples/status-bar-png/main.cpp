// Creates a vertical status bar by its class name, feeds it readings through its typed C++
// class and through late binding, prints the events it raises and writes it as a PNG.
//
//   status-bar-png [FILE]        (default: status-bar.png)
#include <kyv/Kyvvstat.h>
#include <kyv/class_info.h>
#include <kyv/control.h>
#include <kyv/error.h>
#include <kyv/registry.h>
#include <kyv/render.h>
#include <kyv/site.h>

#include <cstdio>
#include <string>

namespace {

// The host's side: hears the bar's events as they happen.
struct EventPrinter : kyv::Site {
  void eventRaised(kyv::Control&, const kyv::EventInfo& event) override {
    std::printf("event %.*s\n", static_cast<int>(event.name.size()), event.name.data());
  }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "status-bar.png";
  try {
    kyv::Registry registry;  // lib/kyv/kyvregistry.json, beside the framework library
    EventPrinter printer;
    kyv::ControlPtr control = registry.create("KyvVStatus.Kyvvstat");
    control->setSite(&printer);
    control->UserControl().setRectTwips(0, 0, 465, 3540);  // 31 x 236 pixels
    control->InitProperties();
    control->Resize();

    // Late bound, by member name, as any host does.
    control->put("Maxlimit", kyv::Variant(int16_t{200}));
    control->put("MaxThreshold", kyv::Variant(int16_t{150}));

    // Typed: the same object through its C++ class.
    auto& bar = dynamic_cast<kyv::Kyvvstat&>(*control);
    bar.setFillColor(kyv::Colour{0x0000C000});  // 0x00BBGGRR: a darker green
    for (int16_t reading : {20, 180}) bar.incbar(reading);

    // Late bound again: bind the method once, then call it by index.
    const int incbar = control->classInfo().find("incbar");
    kyv::Variant reading(int16_t{120});
    control->invoke(incbar, kyv::Invoke::Call, &reading);

    std::printf("Maxlimit = %s\n", control->get("Maxlimit").display().c_str());
    kyv::renderToFile(*control, file);
    std::printf("wrote %s\n", file.c_str());
    return 0;
  } catch (const kyv::Error& e) {
    std::fprintf(stderr, "status-bar-png: %s\n", e.what());
    return 1;
  }
}
