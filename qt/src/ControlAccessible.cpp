#include "ControlAccessible.h"

#include <QAccessibleWidget>

#include "Utf8Text.h"
#include "kyv/qt/TypedWidget.h"
#include "kyv/qt/WidgetCatalog.h"

namespace kyvqt {
namespace {

// A ControlWidget as assistive technology sees it. The hosted class is looked up at every
// question, since a widget may create another control at any time. A read-only display:
// the value cannot be set through the interface.
class ControlAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit ControlAccessible(ControlWidget* widget) : QAccessibleWidget(widget, QAccessible::Client) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface && reading()) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::Role role() const override {
    if (const kyv::Presentation* p = presentation()) return accessibleRole(p->picture);
    const WidgetEntry* entry = catalogEntry();
    return entry ? entry->role : QAccessible::Client;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  // The name set on the widget, else what the control is; the value as text for a level or
  // a number; the class's line as description when the widget has none.
  QString text(QAccessible::Text t) const override {
    const kyv::Presentation* p = presentation();
    switch (t) {
      case QAccessible::Name:
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        return p ? kyvqt::text(p->title) : hosted()->className();
      case QAccessible::Description:
        if (!widget()->accessibleDescription().isEmpty()) return widget()->accessibleDescription();
        return p ? kyvqt::text(p->description) : QString();
      case QAccessible::Value:
        if (const std::optional<TypedWidget::Reading> r = reading()) return QString::number(r->current);
        return QString();
      default: return QAccessibleWidget::text(t);
    }
  }

  QVariant currentValue() const override {
    const std::optional<TypedWidget::Reading> r = reading();
    return r ? QVariant(r->current) : QVariant();
  }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override {
    const std::optional<TypedWidget::Reading> r = reading();
    return r ? QVariant(r->maximum) : QVariant();
  }
  QVariant minimumValue() const override {
    const std::optional<TypedWidget::Reading> r = reading();
    return r ? QVariant(r->minimum) : QVariant();
  }
  QVariant minimumStepSize() const override { return 1; }

 private:
  ControlWidget* hosted() const { return static_cast<ControlWidget*>(widget()); }
  const WidgetEntry* catalogEntry() const { return findWidget(hosted()->className().toStdString()); }
  // How the hosted control's class is presented; null without a control or for a class
  // that gives no title.
  const kyv::Presentation* presentation() const {
    const kyv::Control* control = hosted()->control();
    if (!control || control->classInfo().presentation().title.empty()) return nullptr;
    return &control->classInfo().presentation();
  }
  std::optional<TypedWidget::Reading> reading() const {
    const auto* typed = qobject_cast<const TypedWidget*>(widget());
    return typed ? typed->reading() : std::nullopt;
  }
};

QAccessibleInterface* accessibleControl(const QString&, QObject* object) {
  auto* widget = qobject_cast<ControlWidget*>(object);
  return widget ? new ControlAccessible(widget) : nullptr;
}

}  // namespace

void installAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory(&accessibleControl);
    return true;
  }();
  (void)installed;
}

}  // namespace kyvqt
