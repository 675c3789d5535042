// Every typed widget's Qt properties agree with its control's class table, the one place a
// property is declared: one Q_PROPERTY per property row, in the table's order, named as the
// member, of the Qt type that carries the member's type, readable and writable, notifying
// through NAMEChanged(), resettable exactly when the class stores it, and reset to the
// table's default.
#include <QMetaProperty>
#include <QTest>
#include <optional>
#include <vector>

#include "kyv/names.h"
#include "kyv/palette.h"
#include "kyv/qt/Widgets.h"

using kyvqt::TypedWidget;
using kyvqt::WidgetEntry;

namespace {

std::unique_ptr<TypedWidget> make(const WidgetEntry& entry) {
  return std::unique_ptr<TypedWidget>(qobject_cast<TypedWidget*>(entry.create(nullptr)));
}

std::vector<kyv::MemberInfo> tableProperties(const kyv::ClassInfo& info) {
  std::vector<kyv::MemberInfo> properties;
  for (const kyv::MemberInfo& m : info.members())
    if (m.kind == kyv::MemberKind::Property) properties.push_back(m);
  return properties;
}

std::optional<kyv::Variant> tableDefault(const kyv::ClassInfo& info, std::string_view name) {
  for (const kyv::StoredInfo& stored : info.storedReadOrder())
    if (kyv::sameName(stored.key, name)) return stored.fallback;
  return std::nullopt;
}

int qtTypeOf(kyv::VarType type) {
  switch (type) {
    case kyv::VarType::Integer:
    case kyv::VarType::Long: return QMetaType::Int;
    case kyv::VarType::Boolean: return QMetaType::Bool;
    case kyv::VarType::Colour: return QMetaType::QColor;
    default: return QMetaType::UnknownType;
  }
}

// What the typed getter reads for the table's default: the number, the truth, or the colour
// as the widget paints it.
QVariant shownDefault(const TypedWidget& w, kyv::VarType type, const kyv::Variant& fallback) {
  if (type == kyv::VarType::Boolean) return fallback.toBoolean();
  if (type != kyv::VarType::Colour) return static_cast<int>(fallback.toLong());
  const uint32_t bgr = kyv::resolveColour(fallback.toColour(), w.colourPalette());
  return QColor(bgr & 0xFF, bgr >> 8 & 0xFF, bgr >> 16 & 0xFF);
}

// A value the control accepts other than `current`: the property then has something to
// reset from.
bool writeAnother(TypedWidget& w, const QMetaProperty& p) {
  const QVariant current = p.read(&w);
  if (current.typeId() == QMetaType::Bool) return p.write(&w, !current.toBool()) && p.read(&w) != current;
  if (current.typeId() == QMetaType::QColor) return p.write(&w, QColor(0x12, 0x34, 0x56)) && p.read(&w) != current;
  for (const int candidate : {current.toInt() - 1, current.toInt() + 1}) {
    p.write(&w, candidate);
    if (p.read(&w) != current) return true;
  }
  return false;
}

}  // namespace

class TestTableAgreement : public QObject {
  Q_OBJECT

 private slots:
  void everyWidgetDeclaresItsTableRowForRow() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      QVERIFY2(w && w->control(), entry.qtClassName);
      const kyv::ClassInfo& info = w->control()->classInfo();
      const std::vector<kyv::MemberInfo> rows = tableProperties(info);
      const QMetaObject& meta = *w->metaObject();
      const int first = TypedWidget::staticMetaObject.propertyCount();
      QCOMPARE(meta.propertyCount() - first, static_cast<int>(rows.size()));
      for (size_t i = 0; i < rows.size(); ++i) {
        const kyv::MemberInfo& row = rows[i];
        const QMetaProperty p = meta.property(first + static_cast<int>(i));
        const QByteArray where = QByteArray(entry.qtClassName) + "::" + p.name();
        QCOMPARE(QByteArray(p.name()), QByteArray(row.name.data(), static_cast<qsizetype>(row.name.size())));
        QVERIFY2(p.typeId() == qtTypeOf(row.type), where);
        QVERIFY2(p.isReadable() && p.isWritable() && p.isDesignable() && p.isScriptable(), where);
        QVERIFY2(p.hasNotifySignal() && p.notifySignal().name() == QByteArray(p.name()) + "Changed", where);
        QVERIFY2(p.isResettable() == tableDefault(info, row.name).has_value(), where);
      }
    }
  }

  void aResetRestoresTheTableDefault() {
    for (const WidgetEntry& entry : kyvqt::widgetCatalog()) {
      const std::unique_ptr<TypedWidget> w = make(entry);
      const kyv::ClassInfo& info = w->control()->classInfo();
      for (const kyv::MemberInfo& row : tableProperties(info)) {
        const std::optional<kyv::Variant> fallback = tableDefault(info, row.name);
        if (!fallback) continue;
        const QByteArray name(row.name.data(), static_cast<qsizetype>(row.name.size()));
        const QMetaProperty p = w->metaObject()->property(w->metaObject()->indexOfProperty(name.constData()));
        const QByteArray where = QByteArray(entry.qtClassName) + "::" + p.name();
        QVERIFY2(writeAnother(*w, p), where);
        QVERIFY2(p.reset(w.get()), where);
        QVERIFY2(kyv::equalsDefault(w->control()->get(row.name), *fallback), where);
        QVERIFY2(p.read(w.get()) == shownDefault(*w, row.type, *fallback), where);
      }
    }
  }
};

QTEST_MAIN(TestTableAgreement)
#include "tst_tableagreement.moc"
