#include "Layout.h"

#include <cmath>

namespace kyvdemo {
namespace {

constexpr const char* kBarGraph = "barGraphPanel";
constexpr const char* kMultiBar = "multiBarPanel";
constexpr const char* kDigit = "digitPanel";
constexpr const char* kVerticalBar = "verticalBarPanel";
constexpr const char* kHorizontalBar = "horizontalBarPanel";
constexpr const char* kHeartbeat = "heartbeatPanel";

constexpr PanelRow kPanels[] = {
    {kBarGraph, "Bar graph", 0, 0, 5445, 3480},
    {kMultiBar, "Multi-bar", 5490, 0, 2400, 3480},
    {kDigit, "Digits", 7935, 0, 2400, 2865},
    {kVerticalBar, "Vertical bar", 7935, 2880, 2400, 4695},
    {kHorizontalBar, "Horizontal bar", 0, 3480, 7905, 1530},
    {kHeartbeat, "Heartbeat", 0, 4950, 7905, 2655},
};

constexpr bool kChecked = true;
using enum Kind;

constexpr ElementRow kElements[] = {
    {kBarGraph, "KyvMovingBar1", Control, "", 135, 225, 3780, 2250},
    {kBarGraph, "Check1(0)", CheckBox, "Border", 4140, 375, 1125, 240, kChecked},
    {kBarGraph, "Check1(1)", CheckBox, "Grid", 4140, 637, 855, 240, kChecked},
    {kBarGraph, "Check1(2)", CheckBox, "Label", 4140, 900, 1095, 240, kChecked},
    {kBarGraph, "Command1(0)", Button, "Set Backcolor", 4110, 1290, 1215, 285},
    {kBarGraph, "Command1(1)", Button, "Set Barcolor", 4110, 1635, 1215, 285},
    {kBarGraph, "Text1", TextBox, "100", 180, 2580, 600, 315},
    {kBarGraph, "Label1(0)", Label, "Set Y maximum", 870, 2625, 1200, 225},
    {kBarGraph, "Command2(0)", Button, "Start", 4530, 2790, 810, 240},
    {kBarGraph, "Command2(1)", Button, "Stop", 4530, 3120, 810, 240},

    {kMultiBar, "KyvMultiBar1", Control, "", 150, 270, 2100, 1305},
    {kMultiBar, "Combo1", ComboBox, "10", 180, 1770, 615, 315},
    {kMultiBar, "Label4", Label, "No of Bars", 990, 1785, 750, 195},
    {kMultiBar, "Text2", TextBox, "100", 180, 2190, 705, 285},
    {kMultiBar, "Label5", Label, "MaxLimit", 1005, 2235, 615, 195},
    {kMultiBar, "Command7(0)", Button, "Set Backcolor", 120, 2745, 1140, 270},
    {kMultiBar, "Command7(1)", Button, "Set Barcolor", 120, 3075, 1140, 270},
    {kMultiBar, "Command2(11)", Button, "Start", 1470, 2775, 810, 240},
    {kMultiBar, "Command2(10)", Button, "Stop", 1470, 3105, 810, 240},

    {kDigit, "fourseg1", Control, "", 105, 210, 1785, 585},
    {kDigit, "Command2(2)", Button, "Stop", 105, 855, 810, 240},
    {kDigit, "Command2(3)", Button, "Start", 1065, 855, 810, 240},
    {kDigit, "Check2", CheckBox, "Border", 675, 1215, 855, 300, kChecked},
    {kDigit, "Command3(1)", Button, "Set Displaycolor", 345, 1635, 1395, 300},
    {kDigit, "Command3(0)", Button, "Set Backcolor", 345, 1965, 1395, 300},
    {kDigit, "Label6", Label, "Single Digit and Six Digit versions also supplied", 165, 2340, 2160, 525},

    {kVerticalBar, "Kyvvstat1", Control, "", 120, 285, 405, 4260},
    {kVerticalBar, "Check3(0)", CheckBox, "Border", 645, 240, 1140, 255, kChecked},
    {kVerticalBar, "Check3(1)", CheckBox, "3D Bar", 645, 500, 1140, 255},
    {kVerticalBar, "Check3(2)", CheckBox, "Caption", 645, 760, 1140, 255, kChecked},
    {kVerticalBar, "Check3(3)", CheckBox, "Caption Border", 645, 1020, 1365, 255, kChecked},
    {kVerticalBar, "Text3(0)", TextBox, "100", 615, 1380, 510, 300},
    {kVerticalBar, "Text3(1)", TextBox, "75", 615, 1740, 510, 300},
    {kVerticalBar, "Text3(2)", TextBox, "5", 615, 2100, 510, 300},
    {kVerticalBar, "Label2(0)", Label, "Max Limit", 1215, 1440, 660, 195},
    {kVerticalBar, "Label2(1)", Label, "Max Threshold", 1185, 1800, 1050, 195},
    {kVerticalBar, "Label2(2)", Label, "Min Threshold", 1200, 2160, 1005, 195},
    {kVerticalBar, "Command4(0)", Button, "FillColor", 630, 2535, 1470, 255},
    {kVerticalBar, "Command4(1)", Button, "Above Max color", 630, 2835, 1470, 255},
    {kVerticalBar, "Command4(2)", Button, "below Min color", 630, 3135, 1470, 255},
    {kVerticalBar, "Command4(3)", Button, "Back Color", 630, 3450, 1470, 255},
    {kVerticalBar, "Command2(5)", Button, "Start", 1515, 4035, 810, 240},
    {kVerticalBar, "Command2(4)", Button, "Stop", 1515, 4365, 810, 240},

    {kHorizontalBar, "Hstat1", Control, "", 150, 210, 3840, 360},
    {kHorizontalBar, "Check5(0)", CheckBox, "Border", 4215, 225, 960, 195, kChecked},
    {kHorizontalBar, "Check5(1)", CheckBox, "3D Bar", 4215, 465, 960, 195},
    {kHorizontalBar, "Check5(2)", CheckBox, "Caption Border", 5250, 465, 1455, 195, kChecked},
    {kHorizontalBar, "Check5(3)", CheckBox, "Caption", 5250, 225, 960, 195, kChecked},
    {kHorizontalBar, "Command6(0)", Button, "Fillcolor", 105, 750, 1545, 270},
    {kHorizontalBar, "Command6(1)", Button, "Above Max Color", 1755, 750, 1545, 270},
    {kHorizontalBar, "Command6(2)", Button, "Below Min Color", 3405, 750, 1545, 270},
    {kHorizontalBar, "Command6(3)", Button, "Back Color", 5025, 750, 1545, 270},
    {kHorizontalBar, "Text3(5)", TextBox, "100", 480, 1140, 510, 300},
    {kHorizontalBar, "Text3(4)", TextBox, "75", 2085, 1140, 510, 300},
    {kHorizontalBar, "Text3(3)", TextBox, "5", 3960, 1140, 510, 300},
    {kHorizontalBar, "Label2(3)", Label, "Max Limit", 1110, 1185, 660, 195},
    {kHorizontalBar, "Label2(4)", Label, "Max Threshold", 2700, 1200, 1050, 195},
    {kHorizontalBar, "Label2(5)", Label, "Min Threshold", 4590, 1215, 1005, 195},
    {kHorizontalBar, "Command2(8)", Button, "Start", 6960, 870, 810, 240},
    {kHorizontalBar, "Command2(9)", Button, "Stop", 6960, 1200, 810, 240},

    {kHeartbeat, "HeartBeat1", Control, "", 135, 255, 5265, 1980},
    {kHeartbeat, "Check4(0)", CheckBox, "Border", 5880, 270, 1200, 210, kChecked},
    {kHeartbeat, "Check4(1)", CheckBox, "Grid", 5880, 525, 1200, 210, kChecked},
    {kHeartbeat, "Text4(0)", TextBox, "10", 5580, 825, 675, 315},
    {kHeartbeat, "Text4(1)", TextBox, "100", 5580, 1215, 675, 315},
    {kHeartbeat, "Label3(0)", Label, "Max Limit", 6360, 885, 855, 240},
    {kHeartbeat, "Label3(1)", Label, "Horiz Count", 6360, 1215, 855, 240},
    {kHeartbeat, "Command5(0)", Button, "Grid Color", 6315, 1620, 1380, 270},
    {kHeartbeat, "Command5(1)", Button, "Back Color", 6315, 1920, 1380, 270},
    {kHeartbeat, "Command5(2)", Button, "Line Color", 6315, 2235, 1380, 270},
    {kHeartbeat, "Command8", Button, "New Trace", 2655, 2280, 1020, 240},
    {kHeartbeat, "Command2(6)", Button, "Stop", 3720, 2280, 810, 240},
    {kHeartbeat, "Command2(7)", Button, "Start", 4575, 2280, 810, 240},
};

int px(int twips) { return static_cast<int>(std::lround(twips / 15.0)); }

}  // namespace

std::span<const PanelRow> panels() { return kPanels; }
std::span<const ElementRow> elements() { return kElements; }

const PanelRow* panelOf(std::string_view name) {
  for (const ElementRow& e : kElements) {
    if (e.name != name) continue;
    for (const PanelRow& p : kPanels)
      if (std::string_view(p.name) == e.panel) return &p;
  }
  return nullptr;
}

QRect pixels(int left, int top, int width, int height) {
  return QRect(px(left), px(top), px(left + width) - px(left), px(top + height) - px(top));
}

}  // namespace kyvdemo
