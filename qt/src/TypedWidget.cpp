#include "kyv/qt/TypedWidget.h"

#include <QAccessible>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QPointer>
#include <QResizeEvent>
#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
#include <string>

#include "Utf8Text.h"
#include "kyv/names.h"
#include "kyv/palette.h"

namespace kyvqt {

// What a widget feeds again after a layout, by feed method name (names, not rows: the
// widget may host a control of another class later).
struct TypedWidget::Kept {
  struct Feed {
    std::optional<int> last;   // the last reading, until a layout empties the picture
    std::deque<int> trace;     // Replay::Trace, oldest first
    std::map<int, int> items;  // Replay::EveryItem: each item's last reading
  };
  std::map<std::string, Feed, std::less<>> feeds;
  std::map<std::string, int, std::less<>> selected;  // by selector method: the item it selected last
};

// A typed widget squeezed below its control's smallest extent shows part of the control
// rather than an error its user did not cause.
TypedWidget::TypedWidget(const char* className, kyv::Registry* registry, QWidget* parent)
    : ControlWidget(parent, registry), kept_(std::make_unique<Kept>()) {
  setLayoutNoSmallerThanMinimum(true);
  connect(this, &ControlWidget::eventRaised, this, &TypedWidget::emitEventSignal);
  connect(this, &ControlWidget::propertyChanged, this, [this](const QString& name) {
    if (!writing_) emitNotify(name);
  });
  create(QString::fromLatin1(className));
  if (control() && control()->classInfo().presentation().keepsFaceDark) keepFaceDark();
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

const kyv::MemberInfo* TypedWidget::feedRow(std::string_view method) const {
  const kyv::Control* c = control();
  if (!c) return nullptr;
  const int index = c->classInfo().find(method);
  if (index < 0) return nullptr;
  const kyv::MemberInfo& row = c->classInfo().members()[static_cast<size_t>(index)];
  return row.kind == kyv::MemberKind::Method ? &row : nullptr;
}

// The control would leave its picture as it was for a reading its feed does not take; the
// widget says so. A handler of the reading's events may replace the control or destroy the
// widget: there is then nothing to remember.
bool TypedWidget::takeReading(std::string_view method, int value) {
  if (queuedFromOtherThread([this, name = std::string(method), value] { takeReading(name, value); })) return true;
  const kyv::MemberInfo* row = feedRow(method);
  if (row && row->feed.takes && (value < row->feed.takes->low || value > row->feed.takes->high)) {
    reject(method, kyv::ErrorKind::Overflow,
           QStringLiteral("Overflow: %1 is not between %2 and %3; the display keeps what it shows")
               .arg(value)
               .arg(row->feed.takes->low)
               .arg(row->feed.takes->high));
    return false;
  }
  const QPointer<TypedWidget> alive(this);
  const kyv::Control* fed = control();
  if (!feed(method, value)) return false;
  if (!alive || !row || control() != fed) return true;
  remember(*row, value);
  announceReading();
  return true;
}

// Queued as one call, so that no other thread's selection comes between the two.
bool TypedWidget::takeItemReading(std::string_view selector, int item, std::string_view method, int value) {
  if (queuedFromOtherThread([this, selector = std::string(selector), item, method = std::string(method), value] {
        takeItemReading(selector, item, method, value);
      }))
    return true;
  return takeReading(selector, item) && takeReading(method, value);
}

int TypedWidget::lowestReading(std::string_view method) const {
  const kyv::MemberInfo* row = feedRow(method);
  return row && row->feed.takes ? static_cast<int>(row->feed.takes->low) : 0;
}

int TypedWidget::highestReading(std::string_view method) const {
  const kyv::MemberInfo* row = feedRow(method);
  return row && row->feed.takes ? static_cast<int>(row->feed.takes->high) : 0;
}

// A trace keeps the points it plots: HorizCount + 1 of them on the scrolling trace.
void TypedWidget::remember(const kyv::MemberInfo& row, int value) {
  const std::string name(row.name);
  for (const kyv::MemberInfo& other : control()->classInfo().members())
    if (kyv::sameName(other.feed.selector, name)) kept_->selected[name] = value;
  Kept::Feed& kept = kept_->feeds[name];
  kept.last = value;
  switch (row.feed.replay) {
    case kyv::Replay::Trace: {
      kept.trace.push_back(value);
      const size_t points = static_cast<size_t>(std::max(0, readInt(row.feed.traceLength))) + 1;
      while (kept.trace.size() > points) kept.trace.pop_front();
      break;
    }
    case kyv::Replay::EveryItem: {
      const auto selected = kept_->selected.find(row.feed.selector);
      kept.items[selected == kept_->selected.end() ? 0 : selected->second] = value;
      break;
    }
    case kyv::Replay::LastReading:
    case kyv::Replay::Nothing: break;
  }
}

// A trace's point that fails (HorizCount raised since) ends its replay: the rest would fail
// too. Every item is set again, then the item selected last is selected again.
// A handler of a reading fed again may destroy the widget or replace its control (whose
// class, and so the rows, may go with it): the walk stops there.
template <class Fn>
void TypedWidget::forEachKept(Fn&& fn) {
  const kyv::Control* c = control();
  if (!c) return;
  const QPointer<TypedWidget> alive(this);
  for (const kyv::MemberInfo& row : c->classInfo().members()) {
    const auto kept = kept_->feeds.find(row.name);
    if (kept != kept_->feeds.end()) fn(row, kept->second);
    if (!alive || control() != c) return;
  }
}

void TypedWidget::reapplyReadings() {
  const QPointer<TypedWidget> alive(this);
  const kyv::Control* fed = control();
  const auto gone = [&] { return !alive || control() != fed; };
  forEachKept([&](const kyv::MemberInfo& row, const Kept::Feed& feed) {
    if (row.feed.replay == kyv::Replay::LastReading && feed.last) refeed(row.name, *feed.last);
    for (const int point : feed.trace)
      if (!refeed(row.name, point) || gone()) return;
    if (gone() || row.feed.replay != kyv::Replay::EveryItem) return;
    for (const auto& [item, value] : feed.items) {
      if (refeed(row.feed.selector, item) && !gone()) refeed(row.name, value);
      if (gone()) return;
    }
    const auto selected = kept_->selected.find(row.feed.selector);
    refeed(row.feed.selector, selected == kept_->selected.end() ? 0 : selected->second);
  });
}

// What the layout did not empty stays remembered: the items, a picture kept by the control.
void TypedWidget::forgetReadings() {
  forEachKept([](const kyv::MemberInfo& row, Kept::Feed& feed) {
    if (row.feed.replay == kyv::Replay::LastReading || row.feed.replay == kyv::Replay::Trace) feed.last.reset();
    feed.trace.clear();
  });
}

std::optional<TypedWidget::Reading> TypedWidget::reading() const {
  const kyv::Control* c = control();
  if (!c || c->classInfo().presentation().picture == kyv::PictureKind::Chart) return std::nullopt;
  for (const kyv::MemberInfo& row : c->classInfo().members()) {
    if (row.feed.fullScale.empty() && !row.feed.takes) continue;
    const auto kept = kept_->feeds.find(row.name);
    const int current = kept == kept_->feeds.end() ? 0 : kept->second.last.value_or(0);
    if (!row.feed.fullScale.empty()) return Reading{current, 0, readInt(row.feed.fullScale)};
    return Reading{current, static_cast<int>(row.feed.takes->low), static_cast<int>(row.feed.takes->high)};
  }
  return std::nullopt;
}

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
