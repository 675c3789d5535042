#include "kyv/qt/ControlWidget.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>

#include "ControlAccessible.h"
#include "Utf8Text.h"
#include "kyv/palette.h"
#include "kyv/render.h"

namespace kyvqt {
namespace {

int devicePixels(double twips, qreal ratio) {
  return std::max(1, static_cast<int>(std::ceil(twips / kTwipsPerPixel * ratio - 1e-6)));
}

// Device pixels at `ratio` as the logical pixels that hold them.
QRegion logical(const kyv::Region& damage, qreal ratio) {
  QRegion region;
  for (const kyv::PixelRect& r : damage.rects()) {
    const int x0 = static_cast<int>(std::floor(r.x0 / ratio)), y0 = static_cast<int>(std::floor(r.y0 / ratio));
    const int x1 = static_cast<int>(std::ceil(r.x1 / ratio)), y1 = static_cast<int>(std::ceil(r.y1 / ratio));
    region += QRect(x0, y0, x1 - x0, y1 - y0);
  }
  return region;
}

// Where each system colour 0x800000nn comes from in a QPalette, by entry number.
struct PaletteSource {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
};
constexpr PaletteSource kPaletteSources[] = {
    {QPalette::Active, QPalette::Button},             // 0 scroll bar
    {QPalette::Active, QPalette::Window},             // 1 desktop
    {QPalette::Active, QPalette::Highlight},          // 2 active title bar
    {QPalette::Inactive, QPalette::Highlight},        // 3 inactive title bar
    {QPalette::Active, QPalette::Window},             // 4 menu
    {QPalette::Active, QPalette::Base},               // 5 window
    {QPalette::Active, QPalette::Dark},               // 6 window frame
    {QPalette::Active, QPalette::WindowText},         // 7 menu text
    {QPalette::Active, QPalette::Text},               // 8 window text
    {QPalette::Active, QPalette::HighlightedText},    // 9 title bar text
    {QPalette::Active, QPalette::Mid},                // 10 active border
    {QPalette::Active, QPalette::Window},             // 11 inactive border
    {QPalette::Active, QPalette::Dark},               // 12 application workspace
    {QPalette::Active, QPalette::Highlight},          // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},    // 14 highlighted text
    {QPalette::Active, QPalette::Button},             // 15 button face
    {QPalette::Active, QPalette::Mid},                // 16 button shadow
    {QPalette::Disabled, QPalette::Text},             // 17 grey text
    {QPalette::Active, QPalette::ButtonText},         // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText},  // 19 inactive title bar text
    {QPalette::Active, QPalette::Light},              // 20 button highlight
    {QPalette::Active, QPalette::Shadow},             // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},           // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},        // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase},        // 24 tooltip background
    {QPalette::Active, QPalette::Mid},                // 25 (unnamed)
    {QPalette::Active, QPalette::Link},               // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight},          // 27 active title gradient
    {QPalette::Inactive, QPalette::Highlight},        // 28 inactive title gradient
    {QPalette::Active, QPalette::Highlight},          // 29 menu highlight
    {QPalette::Active, QPalette::Window},             // 30 menu bar
};
static_assert(std::size(kPaletteSources) == std::tuple_size_v<kyv::Palette>);

}  // namespace

kyv::Palette systemColours(const QPalette& palette) {
  kyv::Palette colours{};
  for (size_t i = 0; i < colours.size(); ++i) {
    colours[i] = bgrOf(palette.color(kPaletteSources[i].group, kPaletteSources[i].role));
  }
  return colours;
}

// Hears the control and hands everything to the widget.
class ControlWidget::Site final : public kyv::Site {
 public:
  explicit Site(ControlWidget& widget) : widget_(widget) {}
  void eventRaised(kyv::Control&, const kyv::EventInfo& event) override { widget_.onEvent(event); }
  void propertyChanged(kyv::Control&, std::string_view property) override {
    emit widget_.propertyChanged(text(property));
  }
  // The damage is in the pixels of the last paint, the image's.
  void invalidated(kyv::Control&, const kyv::Region& damage) override {
    if (damage.isEverything() || widget_.image_.isNull())
      widget_.repaintDamage(widget_.rect());
    else
      widget_.repaintDamage(logical(damage, widget_.image_.devicePixelRatio()));
  }

 private:
  ControlWidget& widget_;
};

namespace {

// Paints `control` into `image`, which has the control's size at `ratio`: all of it, or
// only what changed since the image was painted. Null `palette`: the system palette.
void paintInto(QImage& image, kyv::Control& control, qreal ratio, const kyv::Palette* palette, bool onlyDamage) {
  if (!onlyDamage) image.fill(Qt::transparent);
  kyv::RenderOptions options;
  options.twipsPerPixel = kTwipsPerPixel / ratio;
  options.palette = palette;
  options.onlyDamage = onlyDamage;
  kyv::renderToPixels(control, image.bits(), image.width(), image.height(), static_cast<int>(image.bytesPerLine()),
                      options);
}

}  // namespace

QImage renderImage(kyv::Control& control, qreal ratio, const kyv::Palette* palette) {
  const kyv::Surface& s = control.UserControl();
  const double width = std::max(1.0, std::ceil(s.widthTwips() / kTwipsPerPixel * ratio - 1e-6));
  const double height = std::max(1.0, std::ceil(s.heightTwips() / kTwipsPerPixel * ratio - 1e-6));
  const std::string refused = kyv::pictureBeyondLimits(width, height, kyv::kMaxPicturePixels, "device pixels");
  if (!refused.empty()) kyv::raise(kyv::ErrorKind::InvalidPropertyValue, refused);
  QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_ARGB32_Premultiplied);
  if (image.isNull())
    kyv::raise(kyv::ErrorKind::InvalidPropertyValue, "Invalid property value: no memory for a picture of " +
                                                         kyv::formatNumber(width) + " x " + kyv::formatNumber(height) +
                                                         " device pixels");
  image.setDevicePixelRatio(ratio);
  paintInto(image, control, ratio, palette, false);
  return image;
}

ControlWidget::ControlWidget(QWidget* parent, kyv::Registry* registry)
    : QWidget(parent),
      registry_(registry ? *registry : defaultRegistry()),
      site_(std::make_unique<Site>(*this)),
      colourPalette_(systemColours(palette())) {
  // Layouts may grow the control and shrink it down to minimumSizeHint(), never further.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  installAccessibleFactory();
}

ControlWidget::~ControlWidget() { detach(); }

kyv::Registry& ControlWidget::defaultRegistry() {
  static kyv::Registry registry;
  return registry;
}

bool ControlWidget::create(const QString& className) { return start(className, nullptr, std::nullopt); }

bool ControlWidget::restore(const QString& className, kyv::PropertyBag bag) {
  return start(className, &bag, std::nullopt);
}

bool ControlWidget::restore(const kyv::FormControl& entry) {
  kyv::PropertyBag bag = entry.properties;
  return start(QString::fromStdString(entry.className), &bag, QSizeF(entry.width, entry.height));
}

// Creation, then InitProperties or ReadProperties, then Resize. A failed lifecycle step is
// reported and the next one still runs: properties read before a failure stay applied.
// A handler of the new control's events may replace it or destroy the widget while it
// starts: the start then ends where it is, and the control it made lives until its
// lifecycle call returns.
bool ControlWidget::start(const QString& className, const kyv::PropertyBag* bag, std::optional<QSizeF> extent) {
  detach();
  createError_.reset();
  image_ = QImage();
  paintError_.clear();
  className_ = className;
  update();
  try {
    control_ = registry_.create(className.toStdString());
  } catch (const kyv::Error& e) {
    createError_ = e;
    report(QStringLiteral("Create"), e);
    return false;
  }
  const std::shared_ptr<kyv::Control> c = control_;
  c->setSite(site_.get());
  if (!extent && testAttribute(Qt::WA_Resized)) extent = extentFor(size(), c->classInfo());
  if (!extent) extent = QSizeF(c->classInfo().defaultWidth(), c->classInfo().defaultHeight());
  c->UserControl().setRectTwips(0, 0, static_cast<float>(extent->width()), static_cast<float>(extent->height()));
  designExtent_ = *extent;
  starting_ = true;
  resize(sizeHint());
  updateGeometry();
  starting_ = false;
  const QPointer<ControlWidget> alive(this);
  const auto stillOurs = [&] { return alive && control_ == c; };
  try {
    if (bag) {
      kyv::PropertyBag copy = *bag;
      c->ReadProperties(copy);
    } else {
      c->InitProperties();
    }
  } catch (const kyv::Error& e) {
    if (stillOurs()) report(QString::fromLatin1(bag ? "ReadProperties" : "InitProperties"), e);
  }
  if (!stillOurs()) return true;
  try {
    c->Resize();
  } catch (const kyv::Error& e) {
    if (stillOurs()) report(QStringLiteral("Resize"), e);
  }
  return true;
}

// The widget no longer hears its control; a call still running in it keeps it alive.
void ControlWidget::detach() {
  if (control_) control_->setSite(nullptr);
  control_.reset();
}

std::shared_ptr<kyv::Control> ControlWidget::require() const {
  if (control_) return control_;
  if (createError_) throw *createError_;
  kyv::raise(kyv::ErrorKind::CannotCreateObject, "Cannot create object: no control has been created in this widget");
}

int ControlWidget::bind(std::string_view member) const { return require()->classInfo().bind(member); }
int ControlWidget::bind(kyv::DispId id) const { return require()->classInfo().bind(id); }

// Each call holds the control until it returns, and touches the widget no more after it.
kyv::Variant ControlWidget::get(std::string_view property) { return require()->get(property); }
void ControlWidget::put(std::string_view property, const kyv::Variant& value) { require()->put(property, value); }
kyv::Variant ControlWidget::call(std::string_view method, kyv::Variant& arg) { return require()->call(method, arg); }

kyv::Variant ControlWidget::call(std::string_view method) {
  const std::shared_ptr<kyv::Control> c = require();
  return c->invoke(c->classInfo().bind(method, kyv::MemberKind::Method), kyv::Invoke::Call, nullptr);
}

kyv::Variant ControlWidget::invoke(int member, kyv::Invoke how, kyv::Variant* arg) {
  return require()->invoke(member, how, arg);
}

kyv::PropertyBag ControlWidget::saveProperties() {
  kyv::PropertyBag bag;
  require()->WriteProperties(bag);
  return bag;
}

QString ControlWidget::memberName(std::string_view member) const {
  if (control_) {
    const kyv::ClassInfo& info = control_->classInfo();
    const int index = info.find(member);
    if (index >= 0) return text(info.members()[index].name);
  }
  return QString::fromStdString(kyv::nameForMessage(member));
}

template <class Call>
bool ControlWidget::attempt(const QString& member, Call&& call) {
  const QPointer<ControlWidget> alive(this);
  try {
    call();
    return true;
  } catch (const kyv::Error& e) {
    if (alive) report(member, e);
  } catch (const std::exception& e) {
    if (alive) emit errorOccurred(member, QStringLiteral("error"), QString::fromUtf8(e.what()));
  }
  return false;
}

bool ControlWidget::tryCall(std::string_view method, kyv::Variant& arg, kyv::Variant* result) {
  return attempt(memberName(method), [&] {
    kyv::Variant out = call(method, arg);
    if (result) *result = std::move(out);
  });
}

bool ControlWidget::tryCall(std::string_view method, const kyv::Variant& value, kyv::Variant* result) {
  kyv::Variant arg = value;
  return tryCall(method, arg, result);
}

bool ControlWidget::tryCall(std::string_view method, kyv::Variant* result) {
  return attempt(memberName(method), [&] {
    kyv::Variant out = call(method);
    if (result) *result = std::move(out);
  });
}

bool ControlWidget::tryPut(std::string_view property, const kyv::Variant& value) {
  return attempt(memberName(property), [&] { put(property, value); });
}

std::optional<kyv::Variant> ControlWidget::tryGet(std::string_view property) {
  std::optional<kyv::Variant> value;
  attempt(memberName(property), [&] { value = get(property); });
  return value;
}

bool ControlWidget::tryInvoke(int member, kyv::Invoke how, kyv::Variant* arg, kyv::Variant* result) {
  QString name = QStringLiteral("#") + QString::number(member);
  if (control_ && member >= 0 && member < static_cast<int>(control_->classInfo().members().size()))
    name = text(control_->classInfo().members()[member].name);
  return attempt(name, [&] {
    kyv::Variant out = invoke(member, how, arg);
    if (result) *result = std::move(out);
  });
}

void ControlWidget::setEventHandler(EventHandler handler) {
  eventHandler_ = handler ? std::make_shared<const EventHandler>(std::move(handler)) : nullptr;
}

QSizeF ControlWidget::extent() const {
  if (!control_) return QSizeF(width() * kTwipsPerPixel, height() * kTwipsPerPixel);
  const kyv::Surface& s = control_->UserControl();
  return QSizeF(s.widthTwips(), s.heightTwips());
}

QSize ControlWidget::sizeHint() const {
  if (!control_ || designExtent_.isEmpty())
    return fontMetrics().boundingRect(className_.isEmpty() ? QStringLiteral("Kyv") : className_).size() + QSize(8, 8);
  return QSize(static_cast<int>(std::lround(designExtent_.width() / kTwipsPerPixel)),
               static_cast<int>(std::lround(designExtent_.height() / kTwipsPerPixel)));
}

QSize ControlWidget::minimumSizeHint() const {
  if (!control_) return sizeHint();
  const kyv::ClassInfo& info = control_->classInfo();
  const QSize smallest(static_cast<int>(std::ceil(info.minimumWidth() / kTwipsPerPixel)),
                       static_cast<int>(std::ceil(info.minimumHeight() / kTwipsPerPixel)));
  return smallest.expandedTo(QSize(1, 1)).boundedTo(sizeHint());
}

QSizeF ControlWidget::extentFor(const QSizeF& pixels, const kyv::ClassInfo& info) const {
  const QSizeF twips = pixels * kTwipsPerPixel;
  if (!noSmallerThanMinimum_) return twips;
  return twips.expandedTo(QSizeF(info.minimumWidth(), info.minimumHeight()));
}

QColor ControlWidget::shownColour(kyv::Colour colour) const {
  return toQColor(kyv::resolveColour(colour, colourPalette_));
}

void ControlWidget::report(const QString& step, const kyv::Error& error) {
  emit errorOccurred(step, text(kyv::kindName(error.kind())), QString::fromUtf8(error.what()));
}

// The handler is held for its run: it may replace itself, the control or the widget.
void ControlWidget::onEvent(const kyv::EventInfo& event) {
  const QString name = text(event.name);
  if (const std::shared_ptr<const EventHandler> handler = eventHandler_) {
    const QPointer<ControlWidget> alive(this);
    try {
      (*handler)(*this, event);
    } catch (const kyv::Error& e) {
      if (alive) report(name, e);
    } catch (const std::exception& e) {
      if (alive) emit errorOccurred(name, QStringLiteral("error"), QString::fromUtf8(e.what()));
    }
    if (!alive) return;
  }
  emit eventRaised(name, event.number);
}

// A new size is a new extent: the control lays itself out again. The size set while a
// control is being created is not one (its Resize comes after its properties).
void ControlWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!control_ || starting_) return;
  const QSizeF twips = extentFor(size(), control_->classInfo());
  if (twips == extent()) return;
  attempt(QStringLiteral("Resize"),
          [&, c = control_] { c->setExtent(static_cast<float>(twips.width()), static_cast<float>(twips.height())); });
}

void ControlWidget::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::PaletteChange) return;
  const kyv::Palette colours = systemColours(palette());
  if (colours == colourPalette_) return;
  colourPalette_ = colours;
  image_ = QImage();
  update();
}

// The image is kept between paints: a new one only for a new size or pixel ratio, and
// only the control's damage repainted into it when the control changed. Damage this
// paint does not show (from changes the widget was not told of) is shown by the next. A
// picture that cannot be made (too large, no memory) leaves a plain frame.
void ControlWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (!control_) {
    painter.setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DashLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap, className_);
    return;
  }
  try {
    const qreal ratio = devicePixelRatioF();
    // Device pixels a logical pixel where this paint lands: the widget's own ratio on its
    // window, another when it is rendered into a picture of another ratio.
    const qreal target = painter.deviceTransform().m11();
    if (std::abs(target - ratio) > 1e-9) {
      drawAtRatio(painter, target);
      paintError_.clear();
      return;
    }
    const QRegion unshown = refreshImage(ratio) - event->region();
    if (!unshown.isEmpty()) update(unshown);
    drawExposed(painter, event->region(), ratio);
    paintError_.clear();
    return;
  } catch (const kyv::Error& e) {
    paintFailed(text(kyv::kindName(e.kind())), QString::fromUtf8(e.what()));
  } catch (const std::exception& e) {
    paintFailed(QStringLiteral("error"), QString::fromUtf8(e.what()));
  }
  image_ = QImage();
  control_->clearDirty();
  painter.setPen(QPen(palette().color(QPalette::Mid), 1));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

QRegion ControlWidget::refreshImage(qreal ratio) {
  const bool resized = image_.isNull() || image_.devicePixelRatio() != ratio ||
                       image_.width() != devicePixels(extent().width(), ratio) ||
                       image_.height() != devicePixels(extent().height(), ratio);
  if (resized) {
    image_ = QImage();
    image_ = renderImage(*control_, ratio, &colourPalette_);
    return rect();
  }
  if (!control_->dirty()) return {};
  const kyv::Region& damage = control_->damage();
  const QRegion repainted = damage.isEverything() ? QRegion(rect()) : logical(damage, ratio);
  paintInto(image_, *control_, ratio, &colourPalette_, true);
  return repainted;
}

const QImage& ControlWidget::upToDatePicture(QRegion* repainted) {
  static const QImage none;
  if (repainted) *repainted = QRegion();
  if (!control_) return none;
  try {
    const QRegion changed = refreshImage(devicePixelRatioF());
    if (repainted) *repainted = changed;
    return image_;
  } catch (const std::exception&) {
    image_ = QImage();
    return none;
  }
}

// Rendered into a device of another pixel ratio (QWidget::render into a picture twice the
// size), the control is drawn whole at that ratio, sharp, rather than its kept image
// stretched. The kept image does not show changes this drawing takes from the control, so
// it is made anew at the next paint when there were any.
void ControlWidget::drawAtRatio(QPainter& painter, qreal ratio) {
  if (control_->dirty()) image_ = QImage();
  painter.drawImage(QPoint(0, 0), renderImage(*control_, ratio, &colourPalette_));
}

// At a whole-number ratio only the exposed rectangles are copied, each a plain copy of
// pixels; a whole image drawn through a clip of many rectangles costs Qt a pass over all
// of it. Other ratios draw the image whole, as it samples the same there.
void ControlWidget::drawExposed(QPainter& painter, const QRegion& exposed, qreal ratio) {
  if (ratio != std::floor(ratio)) {
    painter.drawImage(QPoint(0, 0), image_);
    return;
  }
  const int r = int(ratio);
  for (const QRect& rect : exposed) painter.drawImage(rect, image_, QRect(rect.topLeft() * r, rect.size() * r));
}

void ControlWidget::paintFailed(const QString& kind, const QString& message) {
  if (message == paintError_) return;
  paintError_ = message;
  emit errorOccurred(QStringLiteral("Paint"), kind, message);
}

}  // namespace kyvqt
