#include "WidgetFiles.h"

#include <algorithm>
#include <sstream>

#include "Declarations.h"

namespace kyvqtgen {
namespace {

std::string lowerFirst(std::string s) {
  if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

// `s` as the text of a C++ string literal.
std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

std::string list(const std::vector<std::string>& names) {
  std::string text = names.front();
  for (size_t i = 1; i < names.size(); ++i) text += (i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}

// "the level gauge Lib.Gauge as a typed Qt widget: a bar that ...": the title and the line.
std::string whatItIs(const ClassWidget& c) {
  std::string text = "the " + (c.title.empty() ? std::string("control") : lowerFirst(c.title)) + " " + c.className +
                     " as a typed Qt widget";
  if (!c.description.empty()) text += ": " + lowerFirst(c.description);
  return text + ".";
}

// What the widget feeds again after a resize, with keepReadingOnResize on.
std::string replayed(const Members& members) {
  for (const FeedSlot& f : members.feeds) {
    switch (f.replay) {
      case kyv::Replay::LastReading: return "With keepReadingOnResize on, a resize shows the last reading again.";
      case kyv::Replay::Trace:
        return "With keepReadingOnResize on, a resize plots again the readings the trace held (the last " +
               f.traceLength + " + 1).";
      case kyv::Replay::EveryItem:
        return "With keepReadingOnResize on, a resize sets every item again to its last reading, then selects the "
               "item selected last.";
      case kyv::Replay::Nothing: break;
    }
  }
  return "The control keeps its picture through a resize by itself, so keepReadingOnResize changes nothing here.";
}

const ClassWidget* classOf(const WidgetSet& set, const std::string& className) {
  for (const ClassWidget& c : set.classes)
    if (c.className == className) return &c;
  return nullptr;
}

std::string constructors(const std::string& widget) {
  return "  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be\n"
         "  // created is reported (\"Create\") and every later call through the widget reports it again.\n"
         "  explicit " +
         widget +
         "(QWidget* parent = nullptr);\n"
         "  // The same through `registry`, which must outlive the widget (the default one when null).\n"
         "  explicit " +
         widget + "(kyv::Registry* registry, QWidget* parent = nullptr);\n";
}

std::string classNameConstant(const std::string& className) {
  return "  // The class of the control the widget hosts.\n  static constexpr const char* kClassName = " +
         quoted(className) + ";\n\n";
}

// The first feed that declares the readings it takes: lowest() and highest() give them.
const FeedSlot* rangedFeed(const Members& members) {
  for (const FeedSlot& f : members.feeds)
    if (f.ranged) return &f;
  return nullptr;
}

std::string slotDeclarations(const Members& members) {
  std::ostringstream out;
  out << "\n public slots:\n";
  for (const FeedSlot& f : members.feeds) {
    out << comment(f.help + " False, and errorOccurred(\"" + f.name +
                   "\", kind, message), for a reading the control rejects; the picture stays as it was.")
        << "  bool " << f.name << "(int " << f.argument << ");\n";
    if (f.selector.empty()) continue;
    out << comment(f.selector + "(" + lowerFirst(f.selector) + "), then " + f.name + "(" + lowerFirst(f.name) +
                   "): one slot for a queued connection that feeds any item (connect with qOverload<int, int>). "
                   "False when either step fails.")
        << "  bool " << f.name << "(int " << lowerFirst(f.selector) << ", int " << lowerFirst(f.name) << ");\n";
  }
  return out.str();
}

// The class body of a widget that declares members; `alone` is its class when it has no
// family, else null.
std::string declaringBody(const Declaring& d, const ClassWidget* alone) {
  std::ostringstream out;
  out << "  Q_OBJECT\n" << headerDeclarations(d.classNames, d.members.properties);
  for (const EventSignal& e : d.members.events)
    out << comment(e.help.empty() ? "The control raised " + e.name + "." : e.help) << "  void " << lowerFirst(e.name)
        << "();\n";
  const FeedSlot* ranged = rangedFeed(d.members);
  if (alone || ranged) out << "\n public:\n";
  if (alone) out << classNameConstant(alone->className) << constructors(d.widget);
  if (ranged)
    out << (alone ? "\n" : "") << "  // The lowest and highest reading " << ranged->name
        << " takes; 0 without a control.\n"
        << "  int lowest() const { return lowestReading(" << quoted(ranged->name) << "); }\n"
        << "  int highest() const { return highestReading(" << quoted(ranged->name) << "); }\n";
  out << slotDeclarations(d.members);
  if (!alone)
    out << "\n protected:\n"
        << "  // Creates the control of class `className` through `registry` (the default one when null);\n"
        << "  // a control that cannot be created is reported (\"Create\") and every later call through\n"
        << "  // the widget reports it again.\n"
        << "  " << d.widget << "(const char* className, kyv::Registry* registry, QWidget* parent);\n";
  return out.str();
}

std::string header(const std::string& intro, const std::string& include, const std::string& widget,
                   const std::string& base, const std::string& body) {
  std::ostringstream out;
  out << "#pragma once\n"
      << comment(widget + ": " + intro, "") << "#include <QColor>\n\n#include \"kyv/qt/" << include << ".h\"\n\n"
      << "namespace kyvqt {\n\nclass KYVQT_API " << widget << " : public " << base << " {\n"
      << body << "};\n\n}  // namespace kyvqt\n";
  return out.str();
}

std::string declaringHeader(const WidgetSet& set, const Declaring& d, const ClassWidget* alone) {
  const std::string rules =
      " Its properties, slots and signals follow the rules of TypedWidget (writes that never throw, colours that "
      "round-trip, errorOccurred for a rejected value). " +
      replayed(d.members);
  std::string intro;
  if (alone) {
    intro = whatItIs(*alone) + rules;
  } else {
    std::vector<std::string> widgets;
    for (const std::string& className : d.classNames) widgets.push_back(classOf(set, className)->widget);
    intro = "what " + list(widgets) + " share, the typed Qt widgets of " + list(d.classNames) +
            ": the same properties, feed slots and signals." + rules;
  }
  return header(intro, "TypedWidget", d.widget, "TypedWidget", declaringBody(d, alone));
}

std::string memberHeader(const ClassWidget& c) {
  return header(whatItIs(c) + " Its members are " + c.base + "'s.", c.base, c.widget, c.base,
                "  Q_OBJECT\n\n public:\n" + classNameConstant(c.className) + constructors(c.widget));
}

std::string slotDefinitions(const Declaring& d) {
  std::ostringstream out;
  for (const FeedSlot& f : d.members.feeds) {
    out << "bool " << d.widget << "::" << f.name << "(int " << f.argument << ") { return takeReading(" << quoted(f.name)
        << ", " << f.argument << "); }\n\n";
    if (f.selector.empty()) continue;
    const std::string item = lowerFirst(f.selector), value = lowerFirst(f.name);
    out << "bool " << d.widget << "::" << f.name << "(int " << item << ", int " << value << ") {\n"
        << "  return takeItemReading(" << quoted(f.selector) << ", " << item << ", " << quoted(f.name) << ", " << value
        << ");\n}\n\n";
  }
  return out.str();
}

const char* sizePolicy(bool grows) { return grows ? "QSizePolicy::Expanding" : "QSizePolicy::Maximum"; }

// The widget of a class: its constructors, the class's size policy set.
std::string classConstructors(const ClassWidget& c) {
  const std::string base = c.base.empty() ? "TypedWidget" : c.base;
  std::ostringstream out;
  out << c.widget << "::" << c.widget << "(QWidget* parent) : " << c.widget << "(nullptr, parent) {}\n\n"
      << c.widget << "::" << c.widget << "(kyv::Registry* registry, QWidget* parent)\n    : " << base
      << "(kClassName, registry, parent) {\n"
      << "  setSizePolicy(" << sizePolicy(c.growsAcross) << ", " << sizePolicy(c.growsDown) << ");\n}\n\n";
  return out.str();
}

const char* picture(kyv::PictureKind kind) {
  switch (kind) {
    case kyv::PictureKind::Level: return "kyv::PictureKind::Level";
    case kyv::PictureKind::Number: return "kyv::PictureKind::Number";
    case kyv::PictureKind::Chart: break;
  }
  return "kyv::PictureKind::Chart";
}

std::string catalog(const WidgetSet& set) {
  std::ostringstream out;
  out << "namespace {\n\ntemplate <class Widget>\nQWidget* makeWidget(QWidget* parent) {\n  return new "
         "Widget(parent);\n"
      << "}\n\nconst std::array<WidgetEntry, kyv::kControlCount> kCatalog{{\n";
  for (const ClassWidget& c : set.classes)
    out << "    {" << quoted("kyvqt::" + c.widget) << ", " << quoted("kyv/qt/" + c.widget + ".h") << ", "
        << quoted(c.className) << ", " << quoted(c.title) << ",\n     " << quoted(c.description) << ", "
        << "accessibleRole(" << picture(c.picture) << "), &makeWidget<" << c.widget << ">},\n";
  out << "}};\n\n}  // namespace\n\n"
      << "const std::array<WidgetEntry, kyv::kControlCount>& widgetCatalog() { return kCatalog; }\n\n";
  return out.str();
}

std::string source(const WidgetSet& set, const std::vector<std::string>& headers, bool withCatalog) {
  std::ostringstream out;
  for (const std::string& h : headers) out << "#include \"kyv/qt/" << h << ".h\"\n";
  if (withCatalog) out << "#include \"kyv/qt/WidgetCatalog.h\"\n\n#include <array>\n";
  out << "\nnamespace kyvqt {\n\n";
  for (const Declaring& d : set.families)
    out << d.widget << "::" << d.widget << "(const char* className, kyv::Registry* registry, QWidget* parent)\n"
        << "    : TypedWidget(className, registry, parent) {}\n\n"
        << slotDefinitions(d);
  for (const Declaring& d : set.alone) out << slotDefinitions(d);
  for (const ClassWidget& c : set.classes) out << classConstructors(c);
  if (withCatalog) out << catalog(set);
  out << "}  // namespace kyvqt\n\n// The meta-objects of the widgets, written by moc from their headers.\n";
  for (const std::string& h : headers) out << "#include \"moc_" << h << ".cpp\"\n";
  return out.str();
}

std::string widgetsHeader(const std::vector<std::string>& headers) {
  std::vector<std::string> includes = headers;
  includes.push_back("TypedWidget");
  includes.push_back("WidgetCatalog");
  std::sort(includes.begin(), includes.end());
  std::ostringstream out;
  out << "#pragma once\n// Every typed Kyv widget and their catalog in one include.\n";
  for (const std::string& h : includes) out << "#include \"kyv/qt/" << h << ".h\"\n";
  return out.str();
}

}  // namespace

std::map<std::string, std::string> widgetFiles(const WidgetSet& set, bool withCatalog) {
  std::map<std::string, std::string> files;
  std::vector<std::string> headers;
  for (const Declaring& d : set.families) {
    files[d.widget + ".h"] = declaringHeader(set, d, nullptr);
    headers.push_back(d.widget);
  }
  for (const ClassWidget& c : set.classes) {
    const Declaring* alone = nullptr;
    for (const Declaring& d : set.alone)
      if (d.widget == c.widget) alone = &d;
    files[c.widget + ".h"] = alone ? declaringHeader(set, *alone, &c) : memberHeader(c);
    headers.push_back(c.widget);
  }
  files[kWidgetSource] = source(set, headers, withCatalog);
  if (withCatalog) files["Widgets.h"] = widgetsHeader(headers);
  return files;
}

}  // namespace kyvqtgen
