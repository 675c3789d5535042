#include "KyvDesignerPlugin.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "kyv/qt/ControlWidget.h"

namespace kyvqt {
namespace {

constexpr int kIconSide = 64;

QString latin(const char* s) { return QString::fromLatin1(s); }

// The class name without its namespace: "NAMEWidget".
QString shortName(const WidgetEntry& entry) {
  const QString name = latin(entry.qtClassName);
  return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
}

// The sample readings its class table gives each feed (a bar in its normal band, digits, a
// row of bars, a pulse), in order. A class that names none shows its default picture; a
// reading the control refuses leaves the picture as it was.
void feedSample(ControlWidget& widget) {
  const kyv::Control* control = widget.control();
  if (!control) return;
  for (const kyv::MemberInfo& member : control->classInfo().members())
    for (const int32_t reading : member.feed.samples) widget.tryCall(member.name, kyv::Variant(reading));
}

// `picture` scaled to fit a transparent square, centred.
QIcon squareIcon(const QImage& picture) {
  QImage square(kIconSide, kIconSide, QImage::Format_ARGB32_Premultiplied);
  square.fill(Qt::transparent);
  const QImage fitted = picture.scaled(kIconSide, kIconSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  QPainter painter(&square);
  painter.drawImage((kIconSide - fitted.width()) / 2, (kIconSide - fitted.height()) / 2, fitted);
  painter.end();
  return QIcon(QPixmap::fromImage(square));
}

}  // namespace

DesignerWidget::DesignerWidget(const WidgetEntry& entry) : entry_(entry) {}

QString DesignerWidget::name() const { return latin(entry_.qtClassName); }
QString DesignerWidget::group() const { return QStringLiteral("Kyv"); }
QString DesignerWidget::toolTip() const { return QString::fromUtf8(entry_.toolTip); }

QString DesignerWidget::whatsThis() const {
  return QStringLiteral("<b>%1</b> (%2)<br>%3.<br>It hosts the control %4; include &lt;%5&gt; and link Kyv::qt.")
      .arg(QString::fromUtf8(entry_.displayName), name(), toolTip(), latin(entry_.controlClassName),
           latin(entry_.header));
}

// Angle brackets: uic writes #include <kyv/qt/...>, as for any installed library.
QString DesignerWidget::includeFile() const { return QLatin1Char('<') + latin(entry_.header) + QLatin1Char('>'); }

QIcon DesignerWidget::icon() const {
  sample();
  return icon_;
}

QSize DesignerWidget::designSize() const {
  sample();
  return designSize_;
}

QWidget* DesignerWidget::createWidget(QWidget* parent) { return entry_.create(parent); }

void DesignerWidget::initialize(QDesignerFormEditorInterface*) { initialized_ = true; }

QString DesignerWidget::domXml() const {
  const QSize size = designSize();
  QString object = shortName(entry_);
  object[0] = object[0].toLower();
  return QStringLiteral(
             "<ui language=\"c++\" displayname=\"%1\">\n"
             " <widget class=\"%2\" name=\"%3\">\n"
             "  <property "
             "name=\"geometry\"><rect><x>0</x><y>0</y><width>%4</width><height>%5</height></rect></property>\n"
             " </widget>\n"
             "</ui>\n")
      .arg(QString::fromUtf8(entry_.displayName).toHtmlEscaped(), name(), object)
      .arg(size.width())
      .arg(size.height());
}

// A widget whose control cannot be created (Kyv not installed beside the plugin) gets a
// plain icon and a modest size; Designer still offers it and the form shows the class name.
void DesignerWidget::sample() const {
  if (sampled_) return;
  sampled_ = true;
  designSize_ = QSize(100, 100);
  icon_ = QIcon();
  QWidget* made = entry_.create(nullptr);
  auto* widget = qobject_cast<ControlWidget*>(made);
  if (widget && widget->control()) {
    designSize_ = widget->sizeHint();
    feedSample(*widget);
    try {
      icon_ = squareIcon(renderImage(*widget->control(), 2.0, &widget->colourPalette()));
    } catch (const kyv::Error&) {
      icon_ = QIcon();
    }
  }
  delete made;
  if (icon_.isNull()) {
    QPixmap blank(kIconSide, kIconSide);
    blank.fill(Qt::lightGray);
    icon_ = QIcon(blank);
  }
}

DesignerWidgets::DesignerWidgets(QObject* parent) : QObject(parent) {
  for (const WidgetEntry& entry : widgetCatalog()) widgets_.push_back(std::make_unique<DesignerWidget>(entry));
}

DesignerWidgets::~DesignerWidgets() = default;

QList<QDesignerCustomWidgetInterface*> DesignerWidgets::customWidgets() const {
  QList<QDesignerCustomWidgetInterface*> list;
  for (const auto& w : widgets_) list.append(w.get());
  return list;
}

}  // namespace kyvqt
