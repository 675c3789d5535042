#include "kyv/qt/TypedWidget.h"

#include <QAccessible>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QResizeEvent>
#include <algorithm>
#include <iterator>
#include <string>

#include "Utf8Text.h"
#include "kyv/names.h"
#include "kyv/palette.h"

namespace kyvqt {

// A typed widget squeezed below its control's smallest extent shows part of the control
// rather than an error its user did not cause.
TypedWidget::TypedWidget(QWidget* parent, kyv::Registry* registry) : ControlWidget(parent, registry) {
  setLayoutNoSmallerThanMinimum(true);
  connect(this, &ControlWidget::eventRaised, this, &TypedWidget::emitEventSignal);
  connect(this, &ControlWidget::propertyChanged, this, [this](const QString& name) {
    if (!writing_) emitNotify(name);
  });
}

TypedWidget::~TypedWidget() = default;

void TypedWidget::setKeepReadingOnResize(bool keep) {
  if (keep == keepReadingOnResize_) return;
  keepReadingOnResize_ = keep;
  emit keepReadingOnResizeChanged();
}

std::optional<kyv::Colour> TypedWidget::colour(std::string_view property) {
  const std::optional<kyv::Variant> value = tryGet(property);
  if (!value) return std::nullopt;
  try {
    return value->toColour();
  } catch (const kyv::Error& e) {
    reject(property, e.kind(), QString::fromUtf8(e.what()));
  }
  return std::nullopt;
}

bool TypedWidget::setColour(std::string_view property, kyv::Colour colour) {
  return writeVariant(property, kyv::Variant(colour));
}

std::optional<kyv::Variant> TypedWidget::quietGet(std::string_view property) const {
  kyv::Control* c = control();
  if (!c) return std::nullopt;
  try {
    return c->get(property);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

int TypedWidget::readInt(std::string_view property) const {
  const std::optional<kyv::Variant> value = quietGet(property);
  try {
    return value ? value->toLong() : 0;
  } catch (const kyv::Error&) {
    return 0;
  }
}

bool TypedWidget::readBool(std::string_view property) const {
  const std::optional<kyv::Variant> value = quietGet(property);
  try {
    return value && value->toBoolean();
  } catch (const kyv::Error&) {
    return false;
  }
}

QColor TypedWidget::readColour(std::string_view property) const {
  const std::optional<kyv::Variant> value = quietGet(property);
  try {
    return value ? shownColour(value->toColour()) : QColor();
  } catch (const kyv::Error&) {
    return QColor();
  }
}

void TypedWidget::writeInt(std::string_view property, int value) {
  writeVariant(property, kyv::Variant(int32_t(value)));
}

void TypedWidget::writeBool(std::string_view property, bool value) { writeVariant(property, kyv::Variant(value)); }

// The colour a system colour shows, written back, keeps the system colour: a form editor
// or setProperty(name, property(name)) changes nothing.
void TypedWidget::writeColour(std::string_view property, const QColor& value) {
  if (!value.isValid()) {
    reject(property, kyv::ErrorKind::InvalidPropertyValue,
           QStringLiteral("Invalid property value: an invalid QColor is no colour for ") + text(property));
    return;
  }
  if (const std::optional<kyv::Variant> current = quietGet(property)) {
    try {
      const kyv::Colour stored = current->toColour();
      if (stored.isSystem() && shownColour(stored).rgb() == value.rgb()) return;
    } catch (const kyv::Error&) {
      // Not a colour as stored: the write below replaces it.
    }
  }
  writeVariant(property, kyv::Variant(kyv::Colour{bgrOf(value)}));
}

// Without a control the write reports why there is none, as every call does.
void TypedWidget::resetToDefault(std::string_view property) {
  const kyv::Control* c = control();
  if (!c) {
    writeVariant(property, kyv::Variant());
    return;
  }
  for (const kyv::StoredInfo& stored : c->classInfo().storedReadOrder()) {
    if (kyv::sameName(stored.key, property)) {
      writeVariant(property, stored.fallback);
      return;
    }
  }
  reject(property, kyv::ErrorKind::NoSuchMember,
         QStringLiteral("Object doesn't support this action: ") + text(property) +
             QStringLiteral(" has no class default"));
}

bool TypedWidget::writeVariant(std::string_view property, const kyv::Variant& value) {
  const std::optional<kyv::Variant> before = quietGet(property);
  const QPointer<TypedWidget> alive(this);
  writing_ = true;
  const bool written = tryPut(property, value);
  if (!alive) return written;
  writing_ = false;
  if (!written || quietGet(property) == before) return written;
  emitNotify(text(property));
  if (alive && takesEffectAtLayout(property)) layOutAgain();
  return written;
}

bool TypedWidget::takesEffectAtLayout(std::string_view property) const {
  const kyv::Control* c = control();
  if (!c) return false;
  const int index = c->classInfo().find(property);
  return index >= 0 && c->classInfo().members()[static_cast<size_t>(index)].takesEffectAtLayout;
}

bool TypedWidget::feed(std::string_view method, int value) { return tryCall(method, kyv::Variant(int32_t(value))); }

bool TypedWidget::refeed(std::string_view method, int value) {
  const QPointer<TypedWidget> alive(this);
  const bool wasBlocked = blockSignals(true);
  std::optional<kyv::Error> failure;
  try {
    kyv::Variant arg{int32_t{value}};
    call(method, arg);
  } catch (const kyv::Error& e) {
    failure = e;
  } catch (const std::exception& e) {
    failure = kyv::Error(kyv::ErrorKind::InvalidPropertyValue, e.what());
  }
  if (!alive) return !failure;
  blockSignals(wasBlocked);
  if (failure)
    emit errorOccurred(QStringLiteral("Resize"), text(kyv::kindName(failure->kind())),
                       QString::fromUtf8(failure->what()));
  return !failure;
}

void TypedWidget::keepFaceDark() {
  const kyv::Control* c = control();
  if (!c) return;
  for (const kyv::StoredInfo& stored : c->classInfo().storedReadOrder()) {
    if (!kyv::sameName(stored.key, "BackColor")) continue;
    const kyv::Colour face{kyv::resolveColour(stored.fallback.toColour(), kyv::systemPalette())};
    tryPut("BackColor", kyv::Variant(face));
    return;
  }
}

void TypedWidget::reject(std::string_view member, kyv::ErrorKind kind, const QString& message) {
  emit errorOccurred(text(member), text(kyv::kindName(kind)), message);
}

// Nothing to work out while no assistive technology listens.
void TypedWidget::announceReading() {
  if (!QAccessible::isActive()) return;
  const std::optional<Reading> shown = reading();
  if (!shown) return;
  QAccessibleValueChangeEvent event(this, shown->current);
  QAccessible::updateAccessibility(&event);
}

void TypedWidget::resizeEvent(QResizeEvent* event) {
  const QSizeF before = extent();
  ControlWidget::resizeEvent(event);
  if (control() && extent() != before) laidOut();
}

// Qt sends the resize events a widget had while hidden before its first show event.
void TypedWidget::showEvent(QShowEvent* event) {
  ControlWidget::showEvent(event);
  shown_ = true;
}

// A layout raises no event, so nothing can replace the control while it runs.
void TypedWidget::layOutAgain() {
  kyv::Control* c = control();
  if (!c) return;
  try {
    c->setExtent(c->UserControl().widthTwips(), c->UserControl().heightTwips());
  } catch (const kyv::Error& e) {
    reject("Resize", e.kind(), QString::fromUtf8(e.what()));
  }
  laidOut();
}

// A layout of the control empties what it shows, unless the widget feeds it its readings
// again: when asked to, and for the layouts before the widget was first shown.
void TypedWidget::laidOut() {
  if (keepReadingOnResize_ || !shown_) {
    reapplyReadings();
    return;
  }
  forgetReadings();
  announceReading();
}

void TypedWidget::emitEventSignal(const QString& name) {
  auto known = std::find_if(eventSignals_.begin(), eventSignals_.end(),
                            [&](const std::pair<QString, QMetaMethod>& entry) { return entry.first == name; });
  if (known == eventSignals_.end()) {
    const QByteArray signature = (name.left(1).toLower() + name.mid(1)).toUtf8() + "()";
    const int index = metaObject()->indexOfSignal(signature.constData());
    eventSignals_.emplace_back(name, index >= 0 ? metaObject()->method(index) : QMetaMethod());
    known = std::prev(eventSignals_.end());
  }
  if (known->second.isValid()) known->second.invoke(this, Qt::DirectConnection);
}

void TypedWidget::emitNotify(const QString& name) {
  const int index = metaObject()->indexOfProperty(name.toUtf8().constData());
  if (index < 0) return;
  const QMetaProperty property = metaObject()->property(index);
  if (property.hasNotifySignal()) property.notifySignal().invoke(this, Qt::DirectConnection);
}

}  // namespace kyvqt
