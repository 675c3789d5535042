#include "BindingFiles.h"

#include <sstream>

#include "Declarations.h"

namespace kyvqtgen {
namespace {

std::string lowerFirst(std::string s) {
  if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

std::string opening(const std::string& widget, const std::string& base) {
  return "class " + widget + " : public kyvqt::" + base + "\n{\n%TypeHeaderCode\n#include <kyv/qt/" + widget +
         ".h>\n%End\n\n";
}

std::string constructor(const std::string& widget) {
  return "public:\n    explicit " + widget + "(QWidget *parent /TransferThis/ = 0);\n";
}

// The members a widget declares, after its properties: its event signals, lowest() and
// highest(), its constructor when `alone`, its feed slots.
std::string declared(const Declaring& d, bool alone) {
  std::ostringstream out;
  out << sipDeclarations(d.members.properties);
  for (const EventSignal& e : d.members.events) out << "    void " << lowerFirst(e.name) << "();\n";
  out << '\n';
  if (alone) out << constructor(d.widget);
  for (const FeedSlot& f : d.members.feeds) {
    if (!f.ranged) continue;
    out << (alone ? "" : "public:\n") << "    int lowest() const;\n    int highest() const;\n";
    break;
  }
  out << "\npublic slots:\n";
  for (const FeedSlot& f : d.members.feeds) {
    out << "    bool " << f.name << "(int " << f.argument << ");\n";
    if (!f.selector.empty())
      out << "    bool " << f.name << "(int " << lowerFirst(f.selector) << ", int " << lowerFirst(f.name) << ");\n";
  }
  return out.str();
}

std::string tuple(const std::vector<std::string>& names) {
  std::string text = "(";
  for (const std::string& name : names) text += "\"" + name + "\", ";
  if (names.size() > 1) text.resize(text.size() - 2);
  return text + ")";
}

}  // namespace

std::string sipClasses(const WidgetSet& set) {
  std::ostringstream out;
  for (const Declaring& d : set.families)
    out << opening(d.widget, "TypedWidget") << declared(d, false) << "\nprivate:\n    " << d.widget
        << "(const kyvqt::" << d.widget << " &);\n};\n\n";
  for (const ClassWidget& c : set.classes) {
    const Declaring* alone = nullptr;
    for (const Declaring& d : set.alone)
      if (d.widget == c.widget) alone = &d;
    out << opening(c.widget, c.base.empty() ? "TypedWidget" : c.base)
        << (alone ? declared(*alone, true) : constructor(c.widget)) << "};\n\n";
  }
  return out.str();
}

std::map<std::string, std::string> pythonFiles(const WidgetSet& set) {
  std::vector<std::string> widgets, bases;
  for (const ClassWidget& c : set.classes) widgets.push_back(c.widget);
  for (const Declaring& d : set.families) bases.push_back(d.widget);
  std::ostringstream names, stubs;
  names << "\"\"\"The typed widgets of kyv._qt by name: one a control, in the order the build lists the\n"
        << "controls, and the bases several of them share.\"\"\"\n\nWIDGETS = " << tuple(widgets)
        << "\nBASES = " << tuple(bases) << "\n";
  stubs << "\"\"\"Type stubs of kyv.qt: the typed widgets of the kyv._qt module.\"\"\"\n"
        << "from .._qt import kyvqt as kyvqt\n\nControlWidget = kyvqt.ControlWidget\nTypedWidget = kyvqt.TypedWidget\n";
  for (const std::string& name : bases) stubs << name << " = kyvqt." << name << '\n';
  for (const std::string& name : widgets) stubs << name << " = kyvqt." << name << '\n';
  stubs << "\nWIDGETS: tuple[type[kyvqt.TypedWidget], ...]\n";
  return {{"_widgets.py", names.str()}, {"__init__.pyi", stubs.str()}};
}

}  // namespace kyvqtgen
