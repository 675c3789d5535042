#pragma once
// ControlWidget: a QWidget that hosts one control of the Kyv family, created by class name
// through the registry. The widget's size is the control's extent at 15 twips per logical
// pixel; in a layout it asks for the extent the control was made with and never shrinks
// below the smallest extent the control's class accepts. System colours (0x800000nn)
// resolve through the widget's own QPalette, so a dark palette gives a dark control. It
// paints the control with the framework's renderer at the screen's device pixel ratio
// (15 / ratio twips per device pixel, so it stays crisp at 200 %), keeps the picture and
// repaints only the pixels a change damaged (update() of just those), and passes its
// events and property-changed notifications on as signals. Members are reached late-bound,
// by name or dispatch id, through calls that raise kyv::Error or through try... calls that
// never throw.
//
// The control (and its library) stays alive until every call into it has returned, so a
// handler of its events may create or restore another control in the widget, or destroy
// the widget: the control it replaced finishes its call, no longer heard by the widget.
// No exception leaves the widget's event handlers (paint, resize).
//
//   kyvqt::ControlWidget bar;
//   bar.create("Lib.Gauge");                       // or restore(className, bag)
//   QObject::connect(&bar, &kyvqt::ControlWidget::eventRaised,
//                    [](const QString& name, int) { qDebug() << name; });
//   bar.tryCall("incbar", 42);                     // false, and errorOccurred, on failure
//   kyv::Variant reading(int16_t(42));
//   bar.call("incbar", reading);                   // throws kyv::Error on failure
#include <QColor>
#include <QImage>
#include <QRegion>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

class QPainter;

#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/palette.h"
#include "kyv/qt/export.h"
#include "kyv/registry.h"
#include "kyv/site.h"

namespace kyvqt {

// A colour value 0x00BBGGRR as an opaque QColor, and an opaque QColor as one.
inline QColor toQColor(uint32_t bgr) {
  return QColor(static_cast<int>(kyv::redOf(bgr)), static_cast<int>(kyv::greenOf(bgr)),
                static_cast<int>(kyv::blueOf(bgr)));
}
inline uint32_t bgrOf(const QColor& c) {
  return kyv::packBgr(static_cast<uint32_t>(c.red()), static_cast<uint32_t>(c.green()),
                      static_cast<uint32_t>(c.blue()));
}

// Twips per logical pixel: the layout unit of every host.
inline constexpr double kTwipsPerPixel = 15.0;

// The control painted at its extent, `devicePixelRatio` device pixels per logical pixel;
// the image carries that ratio. Pixels outside the extent are transparent. Raises
// invalid-property-value, before allocating anything, for a picture beyond
// kyv::kMaxPictureSide a side or kyv::kMaxPicturePixels in all (256 MB), or one that
// cannot be allocated. System colours resolve through `palette`, or kyv::systemPalette()
// when it is null.
KYVQT_API QImage renderImage(kyv::Control& control, qreal devicePixelRatio = 1.0,
                             const kyv::Palette* palette = nullptr);

// The system colours of `palette`: each of the 31 entries taken from the QPalette role
// that plays its part (button face from Button, window from Base, window text from Text,
// highlight from Highlight, grey text from the disabled Text, ...).
KYVQT_API kyv::Palette systemColours(const QPalette& palette);

class KYVQT_API ControlWidget : public QWidget {
  Q_OBJECT

 public:
  // Runs inside the control's raising call, before eventRaised is emitted; it may call back
  // into the control. An error it lets escape never reaches the control: it is reported
  // through errorOccurred with the event's name as the step.
  using EventHandler = std::function<void(ControlWidget& widget, const kyv::EventInfo& event)>;

  // Controls are created through `registry`, or defaultRegistry() when null; the registry
  // must outlive the widget.
  explicit ControlWidget(QWidget* parent = nullptr, kyv::Registry* registry = nullptr);
  ~ControlWidget() override;

  // The registry of the default registration file (lib/kyv/kyvregistry.json beside the
  // framework library), shared by widgets given none.
  static kyv::Registry& defaultRegistry();

  // Creates a new instance of `className` (InitProperties, then Resize) at the widget's
  // size, or at the class's default extent when the widget was never resized. Any control
  // held before is destroyed first. Returns false when the class cannot be created; the
  // error is emitted through errorOccurred (step "Create") and raised again by every call.
  bool create(const QString& className);
  // The same, restoring the instance from `bag` (ReadProperties) instead of initialising it.
  bool restore(const QString& className, kyv::PropertyBag bag);
  // The same for a form document entry: its class, its properties, and its extent, which
  // the widget takes as its size.
  bool restore(const kyv::FormControl& entry);

  // The hosted control; null when none was created or creation failed. It lives while the
  // widget holds it and until the last call into it returns.
  kyv::Control* control() const { return control_.get(); }
  const QString& className() const { return className_; }

  // Late binding. Names match in any case. Every call raises kyv::Error: no-such-member for
  // a missing member or one of the other kind, cannot-create-object when the widget holds
  // no control, or whatever the member itself raises (what it did before stays done).
  int bind(std::string_view member) const;
  int bind(kyv::DispId id) const;
  kyv::Variant get(std::string_view property);
  void put(std::string_view property, const kyv::Variant& value);
  // Calls a method; `arg` is passed by reference and holds the method's write-back after.
  kyv::Variant call(std::string_view method, kyv::Variant& arg);
  kyv::Variant call(std::string_view method);
  kyv::Variant invoke(int member, kyv::Invoke how, kyv::Variant* arg);
  // The control's properties as WriteProperties stores them.
  kyv::PropertyBag saveProperties();

  // The same calls without exceptions, for slots, timers and event handlers: a failure is
  // reported through errorOccurred, with the member's name as declared (as given when the
  // control has no such member) as the step, and the call returns false (tryGet nullopt).
  // `result`, when given, receives the member's result.
  bool tryCall(std::string_view method, kyv::Variant& arg, kyv::Variant* result = nullptr);
  bool tryCall(std::string_view method, const kyv::Variant& value, kyv::Variant* result = nullptr);
  bool tryCall(std::string_view method, kyv::Variant* result = nullptr);
  bool tryPut(std::string_view property, const kyv::Variant& value);
  std::optional<kyv::Variant> tryGet(std::string_view property);
  bool tryInvoke(int member, kyv::Invoke how, kyv::Variant* arg, kyv::Variant* result = nullptr);

  void setEventHandler(EventHandler handler);

  // The control's current extent in twips.
  QSizeF extent() const;
  // The control's design extent (its class's default, or the extent it was created or
  // restored with) in logical pixels; for a widget without a control, room for the class
  // name it shows.
  QSize sizeHint() const override;
  // The smallest extent the control's class lays out (no larger than sizeHint()): the
  // widget's size policy lets layouts shrink it this far and no further.
  QSize minimumSizeHint() const override;

  // The control's picture as the widget shows it (its device pixel ratio, transparent
  // outside the control's extent), brought up to date now as a paint would: only the
  // damage repainted. The widget still shows the change at its next paint. `repainted`
  // receives the logical pixels that changed (the whole widget when the picture was made
  // anew). Null when there is no control or the picture cannot be made (the next paint
  // reports why).
  const QImage& upToDatePicture(QRegion* repainted = nullptr);

  // The palette system colours resolve through: systemColours() of the widget's QPalette.
  const kyv::Palette& colourPalette() const { return colourPalette_; }

 signals:
  // The control raised event `number` (from 1) named `name`.
  void eventRaised(const QString& name, int number);
  // The control changed persisted property `name`.
  void propertyChanged(const QString& name);
  // A step failed: one the widget ran itself ("Create", "InitProperties", "ReadProperties",
  // "Resize", "Paint"), an event whose handler let an error escape (the event's name), or
  // a try... call (the member's name). `kind` is the error's kind as kyv::kindName writes
  // it ("overflow", "cannot-create-object", ...), or "error" for another exception. A paint
  // that fails shows a plain frame and is reported once, until the widget paints again.
  void errorOccurred(const QString& step, const QString& kind, const QString& message);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // A new palette repaints the whole control in its colours.
  void changeEvent(QEvent* event) override;

  // The opaque colour `colour` shows in this widget: itself when plain, a system colour
  // resolved through the widget's palette (an unknown one is black).
  QColor shownColour(kyv::Colour colour) const;

  // Asks for `region` (logical pixels) to be repainted, as the control's damage calls for:
  // update(region). A host that shows many controls at once may gather these requests and
  // repaint them together, in a region of its own.
  virtual void repaintDamage(const QRegion& region) { update(region); }

  // Off (the default): the control is laid out at the widget's size, and a size its class
  // refuses is reported ("Resize"). On: a widget smaller than the smallest extent of its
  // control's class lays the control out at that extent, in the dimension that is short,
  // and shows the part that fits.
  void setLayoutNoSmallerThanMinimum(bool on) { noSmallerThanMinimum_ = on; }

 private:
  class Site;
  bool start(const QString& className, const kyv::PropertyBag* bag, std::optional<QSizeF> extent);
  // The control, shared for the length of a call; raises when there is none.
  std::shared_ptr<kyv::Control> require() const;
  void detach();
  void report(const QString& step, const kyv::Error& error);
  // Runs `call`, reporting what it raises under the name of `member`; false when it raised.
  template <class Call>
  bool attempt(const QString& member, Call&& call);
  QString memberName(std::string_view member) const;
  void onEvent(const kyv::EventInfo& event);
  // Draws the control whole at `ratio` with `painter`, leaving image_ to be made anew when
  // the control had changes it did not show yet.
  void drawAtRatio(QPainter& painter, qreal ratio);
  // Brings image_ up to date at `ratio`: made anew for a new size or ratio, else only the
  // control's damage repainted. Returns the logical pixels that changed (the widget's
  // rectangle when made anew). Raises what the renderer raises.
  QRegion refreshImage(qreal ratio);
  // Copies the exposed part of the control's picture to the widget.
  void drawExposed(QPainter& painter, const QRegion& exposed, qreal ratio);
  void paintFailed(const QString& kind, const QString& message);
  // The extent, in twips, the control gets in a widget of `pixels` logical pixels.
  QSizeF extentFor(const QSizeF& pixels, const kyv::ClassInfo& info) const;

  kyv::Registry& registry_;
  std::unique_ptr<Site> site_;
  std::shared_ptr<kyv::Control> control_;
  QString className_;
  std::optional<kyv::Error> createError_;
  std::shared_ptr<const EventHandler> eventHandler_;
  QImage image_;
  QSizeF designExtent_;  // twips; empty until a control was started
  kyv::Palette colourPalette_;
  QString paintError_;  // the failure reported by the last paint, until one succeeds
  bool starting_ = false;
  bool noSmallerThanMinimum_ = false;
};

}  // namespace kyvqt
