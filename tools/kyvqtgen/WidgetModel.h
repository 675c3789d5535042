#pragma once
// The typed Qt widgets of a list of control libraries, read from their classes' tables
// through the registry: one widget a class, named as the class with a capital first letter
// and "Widget" (GaugeWidget for Lib.Gauge), and one base a family of classes that present the same
// members (kyv::Presentation::family: StatusBarWidget for the family "StatusBar").
#include <optional>
#include <string>
#include <vector>

#include "TableProperties.h"
#include "kyv/class_info.h"
#include "kyv/registry.h"

namespace kyvqtgen {

// A feed slot: a method that takes a reading.
struct FeedSlot {
  std::string name;      // the method's name, "incbar"
  std::string argument;  // the reading's name, "BarData"
  std::string help;      // the method's help text
  std::string selector;  // the method selecting the item it sets ("Column"); empty for none
  bool ranged = false;   // it declares the readings it takes (kyv::FeedInfo::takes)
  kyv::Replay replay = kyv::Replay::Nothing;
  std::string traceLength;  // kyv::Replay::Trace: the property of the trace's length
};

struct EventSignal {
  std::string name;  // the event's name, "MaxThreshReached"; the signal is lowerCamel
  std::string help;
};

// The members a widget declares: those of its class, or those a family's classes share.
struct Members {
  std::vector<TableProperty> properties;
  std::vector<FeedSlot> feeds;
  std::vector<EventSignal> events;
};

// A widget that declares members: a family's base, or the widget of a class alone.
struct Declaring {
  std::string widget;                   // "StatusBarWidget"
  std::vector<std::string> classNames;  // the classes whose tables give its members
  Members members;
};

// The widget of one control class.
struct ClassWidget {
  std::string widget;     // "GaugeWidget"
  std::string className;  // "Lib.Gauge"
  std::string base;       // its family's base widget; empty for a class alone
  std::string title, description;
  kyv::PictureKind picture = kyv::PictureKind::Chart;
  bool growsAcross = true, growsDown = true;
};

struct WidgetSet {
  std::vector<Declaring> families;   // in the order their first class comes
  std::vector<Declaring> alone;      // the classes without a family, in order
  std::vector<ClassWidget> classes;  // every class, in the order of `libraries`
};

// The widget of class `className`: "GaugeWidget" for "Lib.Gauge", "LampWidget" for "Lib.lamp".
std::string widgetName(const std::string& className);

// The widgets of the classes of `libraries`, in that order (each library's classes in the
// registry's order). Raises std::runtime_error for a library the registry does not hold, a
// member of a type the widgets do not carry, and a family whose classes disagree, saying
// which; kyv::Error for a class the registry cannot describe.
WidgetSet widgetSet(kyv::Registry& registry, const std::vector<std::string>& libraries);

}  // namespace kyvqtgen
