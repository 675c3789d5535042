#include "ClassCheck.h"

#include "Utf8.h"
#include "kyv/error.h"

namespace kyvdash {
namespace {

bool takesNumber(const kyv::MemberInfo& m) {
  using kyv::VarType;
  return m.kind == kyv::MemberKind::Method &&
         (m.argType == VarType::Integer || m.argType == VarType::Long || m.argType == VarType::Single ||
          m.argType == VarType::Double || m.argType == VarType::Variant);
}

int namedMethod(const kyv::ClassInfo& info, const QString& name) {
  const int index = info.find(name.toStdString());
  return index >= 0 && info.members()[index].kind == kyv::MemberKind::Method ? index : -1;
}

void checkEvents(const kyv::ClassInfo& info, const LayoutControl& c, const QString& owner, QStringList& errors) {
  QStringList names;
  for (const kyv::EventInfo& e : info.events()) names << utf8(e.name);
  for (const LayoutEvent& e : c.on) {
    bool found = false;
    for (const QString& n : names) found = found || n.compare(e.event, Qt::CaseInsensitive) == 0;
    if (found) continue;
    errors << QStringLiteral("%1: on.%2: %3 raises no event \"%2\" (%4)")
                  .arg(owner, e.event, utf8(info.className()),
                       names.isEmpty() ? QStringLiteral("it raises none")
                                       : QStringLiteral("its events: ") + names.join(QStringLiteral(", ")));
  }
}

// A property key the class does not store would be read by nothing: a misspelt key would
// otherwise leave the property at its default without a word.
void checkPropertyKeys(const kyv::ClassInfo& info, const LayoutControl& c, const QString& owner, QStringList& errors) {
  const std::vector<kyv::StoredInfo> stored = info.storedReadOrder();
  QStringList keys;
  for (const kyv::StoredInfo& s : stored)
    if (!keys.contains(utf8(s.key), Qt::CaseInsensitive)) keys << utf8(s.key);
  for (const kyv::PropertyBag::Entry& e : c.properties.entries()) {
    const QString key = QString::fromStdString(e.key);
    if (keys.contains(key, Qt::CaseInsensitive)) continue;
    errors << QStringLiteral("%1: properties: %2 stores no property \"%3\" (%4)")
                  .arg(owner, utf8(info.className()), key,
                       keys.isEmpty() ? QStringLiteral("it stores none")
                                      : QStringLiteral("its keys: ") + keys.join(QStringLiteral(", ")));
  }
}

}  // namespace

std::optional<FeedMembers> feedMembers(const kyv::ClassInfo& info, const LayoutFeed& feed, QString* field,
                                       QString* problem) {
  const QString className = utf8(info.className());
  FeedMembers m;
  if (!feed.method.isEmpty()) {
    *field = QStringLiteral("method");
    m.method = namedMethod(info, feed.method);
    if (m.method < 0) {
      *problem = QStringLiteral("%1 has no method %2").arg(className, feed.method);
      return std::nullopt;
    }
    if (!takesNumber(info.members()[m.method])) {
      *problem = QStringLiteral("%1.%2 does not take a number").arg(className, utf8(info.members()[m.method].name));
      return std::nullopt;
    }
  } else {
    for (int i = 0; i < static_cast<int>(info.members().size()); ++i)
      if (takesNumber(info.members()[i])) m.method = i;
    if (m.method < 0) {
      *field = QStringLiteral("method");
      *problem = QStringLiteral("%1 has no method that takes a number").arg(className);
      return std::nullopt;
    }
  }
  m.argType = info.members()[m.method].argType;
  if (feed.column || feed.columns) {
    m.column = namedMethod(info, QStringLiteral("Column"));
    if (m.column < 0 || !takesNumber(info.members()[m.column])) {
      *field = feed.columns ? QStringLiteral("columns") : QStringLiteral("column");
      *problem = QStringLiteral("%1 has no Column method").arg(className);
      return std::nullopt;
    }
  }
  return m;
}

void checkClasses(const Layout& layout, kyv::Registry& registry, QStringList& errors) {
  for (const LayoutControl& c : layout.controls) {
    if (c.className.isEmpty()) continue;
    const QString owner = QStringLiteral("control \"%1\"").arg(c.name);
    try {
      registry.describe(c.className.toStdString(), [&](const kyv::ClassInfo& info) {
        for (size_t i = 0; i < c.feeds.size(); ++i) {
          QString field, problem;
          if (feedMembers(info, c.feeds[i], &field, &problem)) continue;
          errors << QStringLiteral("%1: %2%3: %4").arg(owner, c.feeds[i].at, field, problem);
        }
        checkEvents(info, c, owner, errors);
        checkPropertyKeys(info, c, owner, errors);
      });
    } catch (const kyv::Error& e) {
      errors << QStringLiteral("%1: class: %2").arg(owner, QString::fromUtf8(e.what()));
    }
  }
}

}  // namespace kyvdash
