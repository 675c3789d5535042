#include "kyv/qt/WidgetCatalog.h"

#include <array>

#include "kyv/names.h"
#include "kyv/qt/Widgets.h"

namespace kyvqt {
namespace {

template <class Widget>
QWidget* make(QWidget* parent) {
  return new Widget(parent);
}

constexpr std::string_view kNamespace = "kyvqt::";

const std::array<WidgetEntry, kyv::kControlCount> kCatalog{{
    {"kyvqt::KyvvstatWidget", "kyv/qt/KyvvstatWidget.h", "KyvVStatus.Kyvvstat", "Vertical status bar",
     "A vertical bar coloured by threshold band, with the reading below it", QAccessible::ProgressBar,
     &make<KyvvstatWidget>},
    {"kyvqt::HstatWidget", "kyv/qt/HstatWidget.h", "KyvHStatus.Hstat", "Horizontal status bar",
     "A horizontal bar coloured by threshold band, with the reading at its left end", QAccessible::ProgressBar,
     &make<HstatWidget>},
    {"kyvqt::SsegWidget", "kyv/qt/SsegWidget.h", "Kyv1Digit.sseg", "Seven-segment digit",
     "One seven-segment digit, 0 to 9", QAccessible::StaticText, &make<SsegWidget>},
    {"kyvqt::FoursegWidget", "kyv/qt/FoursegWidget.h", "Kyv4Digit.fourseg", "Four-digit display",
     "A whole number of up to four characters on seven-segment digits, with leading zeros", QAccessible::StaticText,
     &make<FoursegWidget>},
    {"kyvqt::SixsegWidget", "kyv/qt/SixsegWidget.h", "Kyv6Digit.sixseg", "Six-digit display",
     "A whole number of up to six characters on seven-segment digits, with leading zeros", QAccessible::StaticText,
     &make<SixsegWidget>},
    {"kyvqt::KyvMovingBarWidget", "kyv/qt/KyvMovingBarWidget.h", "KyvMovingBars.KyvMovingBar", "Scrolling bar graph",
     "The recent history of a value as a row of bars over a labelled grid", QAccessible::Chart,
     &make<KyvMovingBarWidget>},
    {"kyvqt::HeartBeatWidget", "kyv/qt/HeartBeatWidget.h", "KyvPulse.HeartBeat", "Scrolling trace",
     "Successive values as one continuous trace over a dotted grid", QAccessible::Chart, &make<HeartBeatWidget>},
    {"kyvqt::KyvMultiBarWidget", "kyv/qt/KyvMultiBarWidget.h", "KyvMultiBars.KyvMultiBar", "Multi-column level display",
     "Up to ten level bars side by side, cut into ten segments each", QAccessible::Chart, &make<KyvMultiBarWidget>},
}};

}  // namespace

const std::array<WidgetEntry, kyv::kControlCount>& widgetCatalog() { return kCatalog; }

const WidgetEntry* findWidget(std::string_view name) {
  for (const WidgetEntry& entry : kCatalog) {
    const std::string_view qtName = entry.qtClassName;
    if (kyv::sameName(name, qtName) || kyv::sameName(name, qtName.substr(kNamespace.size())) ||
        kyv::sameName(name, entry.controlClassName))
      return &entry;
  }
  return nullptr;
}

}  // namespace kyvqt
