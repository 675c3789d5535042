#include "WidgetModel.h"

#include <algorithm>
#include <stdexcept>

namespace kyvqtgen {
namespace {

struct ClassFacts {
  ClassWidget widget;
  std::string family;
  Members members;
};

FeedSlot feedOf(const kyv::ClassInfo& info, const kyv::MemberInfo& m) {
  if (m.argType != kyv::VarType::Integer && m.argType != kyv::VarType::Long)
    throw std::runtime_error(std::string(info.className()) + "'s method " + std::string(m.name) + " takes a " +
                             std::string(kyv::typeName(m.argType)) +
                             ", which the typed widgets' feed slots do not carry (Integer and Long are)");
  return {std::string(m.name),
          m.feed.argument.empty() ? "value" : std::string(m.feed.argument),
          std::string(m.help),
          std::string(m.feed.selector),
          m.feed.takes.has_value(),
          m.feed.replay,
          std::string(m.feed.traceLength)};
}

ClassFacts factsOf(const kyv::ClassInfo& info) {
  const kyv::Presentation& p = info.presentation();
  const std::string className(info.className());
  ClassFacts facts{{widgetName(className), className, p.family.empty() ? "" : std::string(p.family) + "Widget",
                    std::string(p.title), std::string(p.description), p.picture, p.growsAcross, p.growsDown},
                   std::string(p.family),
                   {propertiesOf(info), {}, {}}};
  for (const kyv::MemberInfo& m : info.members())
    if (m.kind == kyv::MemberKind::Method && m.argType != kyv::VarType::Empty)
      facts.members.feeds.push_back(feedOf(info, m));
  for (const kyv::EventInfo& e : info.events())
    facts.members.events.push_back({std::string(e.name), std::string(e.help)});
  return facts;
}

std::string describedFeed(const FeedSlot& f) {
  return f.name + "(" + f.argument + ")" + (f.selector.empty() ? "" : " selected by " + f.selector) +
         (f.ranged ? ", ranged" : "") + ", replay " + std::to_string(static_cast<int>(f.replay)) + " " + f.traceLength;
}

// Raises when `other`'s rows of one kind differ from `first`'s, saying which and how.
template <class Row, class Describe>
void checkAgree(const std::string& what, const std::string& firstClass, const std::vector<Row>& first,
                const std::string& otherClass, const std::vector<Row>& other, Describe describe) {
  const size_t n = std::max(first.size(), other.size());
  for (size_t i = 0; i < n; ++i) {
    const std::string a = i < first.size() ? describe(first[i]) : "nothing";
    const std::string b = i < other.size() ? describe(other[i]) : "nothing";
    if (a != b)
      throw std::runtime_error("the classes of one widget disagree: " + what + " " + std::to_string(i + 1) + " of " +
                               firstClass + " is " + a + ", of " + otherClass + " " + b);
  }
}

void checkAgree(const ClassFacts& first, const ClassFacts& other) {
  const std::string& a = first.widget.className;
  const std::string& b = other.widget.className;
  checkAgree("property", a, first.members.properties, b, other.members.properties,
             [](const TableProperty& p) { return described(p); });
  checkAgree("feed", a, first.members.feeds, b, other.members.feeds, describedFeed);
  checkAgree("event", a, first.members.events, b, other.members.events, [](const EventSignal& e) { return e.name; });
}

std::vector<std::string> classesOf(kyv::Registry& registry, const std::string& library) {
  std::vector<std::string> names;
  for (const kyv::RegisteredClass& c : registry.registeredClasses())
    if (c.library == library) names.push_back(c.className);
  if (names.empty())
    throw std::runtime_error("the registration file " + registry.registrationFile() + " holds no library " + library);
  return names;
}

}  // namespace

std::string widgetName(const std::string& className) {
  std::string name = className.substr(className.find('.') + 1);
  if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  return name + "Widget";
}

WidgetSet widgetSet(kyv::Registry& registry, const std::vector<std::string>& libraries) {
  WidgetSet set;
  std::vector<ClassFacts> familyFirsts;  // the first class of each family, for the check
  for (const std::string& library : libraries) {
    for (const std::string& className : classesOf(registry, library)) {
      ClassFacts facts;
      registry.describe(className, [&](const kyv::ClassInfo& info) { facts = factsOf(info); });
      set.classes.push_back(facts.widget);
      if (facts.family.empty()) {
        set.alone.push_back({facts.widget.widget, {className}, std::move(facts.members)});
        continue;
      }
      const auto known = std::find_if(set.families.begin(), set.families.end(),
                                      [&](const Declaring& d) { return d.widget == facts.widget.base; });
      if (known == set.families.end()) {
        set.families.push_back({facts.widget.base, {className}, facts.members});
        familyFirsts.push_back(std::move(facts));
        continue;
      }
      checkAgree(familyFirsts[static_cast<size_t>(known - set.families.begin())], facts);
      known->classNames.push_back(className);
    }
  }
  return set;
}

}  // namespace kyvqtgen
