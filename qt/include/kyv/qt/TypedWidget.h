#pragma once
// TypedWidget: what every typed Kyv widget shares. Each typed widget hosts one control
// class and shows the control's members as Qt members: a Q_PROPERTY per property (int,
// bool or QColor, named exactly as the control's member), a slot per feed method and a
// signal per event, so Designer, QUiLoader, QObject::setProperty and queued signal-slot
// connections reach the control without kyv::Variant or member names as strings. The typed
// widgets are written at build time from their controls' class tables (kyvqtgen): their
// properties, with getters, setters, resets and NOTIFY signals, their feed slots and event
// signals; what a feed shows, what a widget feeds again after a resize and how it sits in a
// layout are the class table's too, and TypedWidget acts on them.
//
// Property reads and writes never throw. A write the control rejects (70000 for an
// Integer, a Columns of 11, an invalid QColor) is reported through errorOccurred(member,
// kind, message) and the property keeps its value; a read that cannot be made (no control)
// gives 0, false or an invalid QColor, quietly. A write that changes the value emits the
// property's NOTIFY signal; so does a change the control itself reports (propertyChanged).
//
// Colours. A colour property holds a plain colour 0x00BBGGRR or a system colour
// 0x800000nn. Read as a QColor it is the opaque colour it shows (a system colour resolved
// as the widget paints it). Writing a QColor stores that plain colour (alpha is ignored),
// except that writing the very colour a system colour shows leaves the system colour in
// place, so setProperty(name, property(name)) changes nothing. RESET restores the class's
// default, a system colour where the default is one. colour() and setColour() read and
// write the stored value itself, system colours included.
//
// Feed slots return false, and emit errorOccurred, when the control rejects a reading; the
// widget goes on. A reading outside the numbers the feed takes (kyv::FeedInfo::takes: -999 to
// 9999 on four digits) is refused with "overflow" before it reaches the control, which would
// leave its picture as it was. A feed slot called from a thread other than the widget's is
// queued to the widget's thread, as a queued connection would deliver it, and returns true
// at once: what the control then refuses is reported through errorOccurred there. A
// successful reading is remembered as the class's kyv::Replay says: it is the accessible
// value of a level or a number, and keepReadingOnResize re-applies it after a resize.
#include <QColor>
#include <QMetaMethod>
#include <QString>
#include <QThread>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "kyv/qt/ControlWidget.h"

namespace kyvqt {

class KYVQT_API TypedWidget : public ControlWidget {
  Q_OBJECT
  // Off (the default): a resize lays the control out as its own rule says, which empties
  // the status bars, the digits and the trace until the next reading. On: the widget feeds
  // the control its last reading(s) again right after the control's own Resize. Either
  // way, the layouts before the widget is first shown keep what was fed before them: they
  // are not a user's resize.
  Q_PROPERTY(bool keepReadingOnResize READ keepReadingOnResize WRITE setKeepReadingOnResize RESET
                 resetKeepReadingOnResize NOTIFY keepReadingOnResizeChanged)

 public:
  // The reading a widget shows, for assistive technology: the last one fed and the range
  // of readings the control can show.
  struct Reading {
    int current = 0;
    int minimum = 0;
    int maximum = 0;
  };

  ~TypedWidget() override;

  bool keepReadingOnResize() const { return keepReadingOnResize_; }
  void setKeepReadingOnResize(bool keep);
  void resetKeepReadingOnResize() { setKeepReadingOnResize(false); }

  // The stored value of colour property `property`, plain or system; nullopt, and
  // errorOccurred, when it cannot be read.
  std::optional<kyv::Colour> colour(std::string_view property);
  // Stores `colour`, plain (0x00BBGGRR) or system (0x800000nn), in colour property
  // `property`; false, and errorOccurred, when the control rejects it (an unknown system
  // colour is invalid-property-value). Emits the property's NOTIFY signal when it changed.
  bool setColour(std::string_view property, kyv::Colour colour);

  // The reading shown and the range the control shows, for a class whose picture is a
  // level or a number: the last reading of its first feed that declares a full scale (the
  // range is 0 to it) or the readings it takes, 0 before the first and after a resize that
  // emptied the picture. Nullopt for a widget that shows no single value (a chart) or has
  // no control.
  virtual std::optional<Reading> reading() const;

 signals:
  void keepReadingOnResizeChanged();

 protected:
  // Creates the control of class `className` through `registry` (the default one when
  // null), its face kept dark when its class says so. A control that cannot be created is
  // reported ("Create") and every later call through the widget reports it again.
  TypedWidget(const char* className, kyv::Registry* registry, QWidget* parent);

  // What a feed slot does: feeds `value` to feed method `method` when its class's feed
  // takes it, and remembers it as the class's kyv::Replay says. False, and errorOccurred
  // with the method's name, for a reading refused; from another thread, queued (true).
  bool takeReading(std::string_view method, int value);
  // Selects item `item` through feed method `selector`, then feeds `value` to `method`, as
  // one call (queued as one from another thread); false when either step fails.
  bool takeItemReading(std::string_view selector, int item, std::string_view method, int value);
  // The lowest and highest reading feed method `method` takes (kyv::FeedInfo::takes); 0
  // when it declares none or there is no control.
  int lowestReading(std::string_view method) const;
  int highestReading(std::string_view method) const;

  // Typed property access for the generated getters, setters and resets. A read that
  // fails gives 0, false or an invalid QColor without a report; a write or reset that
  // fails is reported through errorOccurred and changes nothing.
  int readInt(std::string_view property) const;
  bool readBool(std::string_view property) const;
  QColor readColour(std::string_view property) const;
  void writeInt(std::string_view property, int value);
  void writeBool(std::string_view property, bool value);
  void writeColour(std::string_view property, const QColor& value);
  // Writes the class's default of stored property `property`. A write or reset that changed
  // a property the control takes up at its next layout (MemberInfo::takesEffectAtLayout)
  // lays the control out again at once (layOutAgain).
  void resetToDefault(std::string_view property);

  // When called from a thread other than the widget's: queues `slot` to the widget's thread
  // (dropped if the widget is gone by then) and returns true; the feed slot calling it then
  // returns at once. False in the widget's own thread.
  template <class Slot>
  bool queuedFromOtherThread(Slot&& slot) {
    if (QThread::currentThread() == thread()) return false;
    QMetaObject::invokeMethod(this, std::forward<Slot>(slot), Qt::QueuedConnection);
    return true;
  }

  // Calls feed method `method` with `value`; false, and errorOccurred with the method's
  // name, when the control rejects it.
  bool feed(std::string_view method, int value);
  // The same for a reading fed again after a resize: it is not a new reading, so the widget
  // emits no signal while it runs (neither the control's events nor its notifications; an
  // event handler set with setEventHandler still runs); a failure is reported afterwards
  // through errorOccurred with the step "Resize".
  bool refeed(std::string_view method, int value);
  // Reports a value the widget refuses before it reaches the control.
  void reject(std::string_view member, kyv::ErrorKind kind, const QString& message);
  // Stores in BackColor the plain colour its class default shows under the classic light
  // palette (black for the digits' face and the trace's background), so the face stays dark
  // under any palette; resetBackColor() makes it follow the widget's palette again.
  void keepFaceDark();
  // Sends QAccessibleValueChangeEvent with reading()'s current value, when there is one.
  void announceReading();
  // Runs the control's Resize at the extent it has, as a resize does (readings re-applied
  // or forgotten alike), for a property that takes effect at the next layout; a failure
  // is reported through errorOccurred with the step "Resize".
  void layOutAgain();
  // Feeds the control its remembered readings again, through refeed, as each feed's
  // kyv::Replay says; called after a resize when keepReadingOnResize is on.
  virtual void reapplyReadings();
  // The control's own Resize has cleared what it showed (keepReadingOnResize off): the
  // widget forgets the readings the layout emptied (the last reading, a trace).
  virtual void forgetReadings();

  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // The property's value; nullopt, without a report, when it cannot be read.
  std::optional<kyv::Variant> quietGet(std::string_view property) const;
  // After the control laid itself out: its readings shown again, or forgotten.
  void laidOut();
  // Emits the typed signal of event `name` (lowerCamel of the name, no arguments).
  void emitEventSignal(const QString& name);
  // Emits the NOTIFY signal of Qt property `name`, when there is one.
  void emitNotify(const QString& name);
  // Writes through tryPut, hearing the control's own notifications of it as one NOTIFY,
  // emitted when the value read back differs from the one before.
  bool writeVariant(std::string_view property, const kyv::Variant& value);
  // Whether the control takes up `property` only at its next layout.
  bool takesEffectAtLayout(std::string_view property) const;
  // The row of feed method `method` in the control's class table; null without a control
  // or such a method.
  const kyv::MemberInfo* feedRow(std::string_view method) const;
  // Remembers `value`, which feed method `row` has just taken, as its replay says.
  void remember(const kyv::MemberInfo& row, int value);

  struct Kept;  // the readings remembered for replay, by feed method
  // Runs fn(row, kept) for each feed method of the control with readings remembered.
  template <class Fn>
  void forEachKept(Fn&& fn);

  bool keepReadingOnResize_ = false;
  bool shown_ = false;    // the widget has been shown once
  bool writing_ = false;  // a write through a typed setter is under way
  // The typed signal of each event heard so far (invalid when the class declares none),
  // found once: an event then costs no lookup.
  std::vector<std::pair<QString, QMetaMethod>> eventSignals_;
  std::unique_ptr<Kept> kept_;
};

}  // namespace kyvqt
