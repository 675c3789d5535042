#include "QtWidgetSection.h"

#include <QMetaMethod>
#include <QMetaProperty>
#include <memory>
#include <set>
#include <sstream>

#include "kyv/qt/TypedWidget.h"
#include "kyv/qt/WidgetCatalog.h"

namespace kyvdoc {
namespace {

std::string signature(const QMetaMethod& method) {
  std::ostringstream text;
  text << method.typeName() << ' ' << method.name().constData() << '(';
  const QList<QByteArray> types = method.parameterTypes();
  const QList<QByteArray> names = method.parameterNames();
  for (qsizetype i = 0; i < types.size(); ++i) {
    if (i > 0) text << ", ";
    text << types[i].constData();
    if (i < names.size() && !names[i].isEmpty()) text << ' ' << names[i].constData();
  }
  text << ')';
  return text.str();
}

void writeProperties(std::ostream& out, const QMetaObject& meta, std::set<int>& notifySignals) {
  out << "| property | Qt type | notify signal |\n|---|---|---|\n";
  const int first = kyvqt::ControlWidget::staticMetaObject.propertyCount();
  for (int i = first; i < meta.propertyCount(); ++i) {
    const QMetaProperty property = meta.property(i);
    const QMetaMethod notify = property.notifySignal();
    if (notify.isValid()) notifySignals.insert(notify.methodIndex());
    out << "| `" << property.name() << "` | " << property.typeName() << " | ";
    if (notify.isValid()) out << '`' << notify.methodSignature().constData() << '`';
    out << " |\n";
  }
}

void writeMethods(std::ostream& out, const QMetaObject& meta, const std::set<int>& notifySignals) {
  const int first = kyvqt::TypedWidget::staticMetaObject.methodCount();
  std::ostringstream feeds, events;
  for (int i = first; i < meta.methodCount(); ++i) {
    const QMetaMethod method = meta.method(i);
    if (method.access() != QMetaMethod::Public) continue;
    if (method.methodType() == QMetaMethod::Slot) feeds << "- `" << signature(method) << "`\n";
    if (method.methodType() == QMetaMethod::Signal && !notifySignals.count(i))
      events << "- `" << signature(method) << "`\n";
  }
  out << "\nFeed slots (each returns false, and emits `errorOccurred`, for a reading the control rejects):\n\n"
      << feeds.str() << "\nEvent signals (one per event, emitted right after `eventRaised`):\n\n"
      << (events.str().empty() ? std::string("None.\n") : events.str());
}

}  // namespace

std::string qtWidgetSection(std::string_view className) {
  const kyvqt::WidgetEntry* entry = kyvqt::findWidget(className);
  if (!entry) return {};
  const std::unique_ptr<QWidget> widget(entry->create(nullptr));
  const QMetaObject& meta = *widget->metaObject();
  std::ostringstream out;
  out << "\n## Qt widget\n\n"
      << "`" << entry->qtClassName << "` in `<" << entry->header << ">`, linked as `Kyv::qt`: " << entry->displayName
      << ". Writes never throw: a value the control rejects is reported through\n"
      << "`errorOccurred(member, kind, message)` and the property keeps its value (see [Qt](../qt.md)).\n\n";
  std::set<int> notifySignals;
  writeProperties(out, meta, notifySignals);
  writeMethods(out, meta, notifySignals);
  return out.str();
}

}  // namespace kyvdoc
