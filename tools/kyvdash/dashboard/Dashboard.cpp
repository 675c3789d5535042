#include "Dashboard.h"

#include <QFontInfo>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include <cmath>
#include "LabelFormat.h"
#include "kyv/control.h"
#include "kyv/elements.h"

namespace kyvdash {
namespace {

// Dims and hatches the control beneath it; clicks and tooltips go through to the control.
class StaleMark final : public QWidget {
 public:
  explicit StaleMark(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
  }

  bool stale = false;     // dimmed and hatched grey (stale or down)
  bool unshown = false;   // hatched red across
  bool alerting = false;  // framed in stripes, with a "!" badge

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    if (stale) {
      p.fillRect(rect(), QColor(128, 128, 128, 140));
      p.fillRect(rect(), QBrush(QColor(40, 40, 40, 170), Qt::BDiagPattern));
    }
    if (unshown) p.fillRect(rect(), QBrush(QColor(230, 30, 30, 220), Qt::DiagCrossPattern));
    if (alerting) paintAlert(p);
  }

 private:
  // A frame of black and yellow stripes, read as a warning without its colours, and a round
  // "!" badge in the top right corner.
  void paintAlert(QPainter& p) const {
    const int side = std::min(width(), height());
    const int band = std::clamp(side / 12, 3, 8), stripe = 2 * band;
    QPainterPath frame;
    frame.addRect(rect());
    frame.addRect(rect().adjusted(band, band, -band, -band));
    p.save();
    p.setClipPath(frame);
    p.fillRect(rect(), QColor(255, 204, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int x = -height(); x < width(); x += 2 * stripe)
      p.drawPolygon(QPolygon({QPoint(x, height()), QPoint(x + stripe, height()), QPoint(x + stripe + height(), 0),
                              QPoint(x + height(), 0)}));
    p.restore();
    const int badge = std::clamp(side / 3, 14, 28);
    const QRect at(width() - band - badge - 1, band + 1, badge, badge);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(200, 0, 0));
    p.drawEllipse(at);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(badge * 3 / 4);
    p.setFont(bold);
    p.drawText(at, Qt::AlignCenter, QStringLiteral("!"));
  }
};

// A control that leaves its repaints to the dashboard it is on, which gathers them.
class DashboardControl final : public kyvqt::ControlWidget {
 public:
  DashboardControl(Dashboard* dashboard, kyv::Registry* registry) : ControlWidget(dashboard, registry) {}

 protected:
  void repaintDamage(const QRegion& region) override {
    auto* dashboard = qobject_cast<Dashboard*>(parentWidget());
    if (!dashboard) {
      update(region);
      return;
    }
    dashboard->repaintCells(region.translated(pos()) & geometry());
  }
};

int px(double twips) { return static_cast<int>(std::lround(twips / kyvqt::kTwipsPerPixel)); }

// `rects` in groups that bands of at least `gap` pixels part along one axis (x when
// `across`, else y), each group's bounding rectangle with its members.
std::vector<std::pair<QRect, std::vector<QRect>>> partedGroups(std::vector<QRect> rects, bool across, int gap) {
  const auto start = [across](const QRect& r) { return across ? r.left() : r.top(); };
  const auto end = [across](const QRect& r) { return across ? r.right() : r.bottom(); };
  std::sort(rects.begin(), rects.end(), [&](const QRect& a, const QRect& b) { return start(a) < start(b); });
  std::vector<std::pair<QRect, std::vector<QRect>>> groups;
  int reach = 0;  // the last pixel of the group so far
  for (const QRect& r : rects) {
    if (groups.empty() || start(r) - reach - 1 >= gap) {
      groups.emplace_back();
      reach = end(r);
    }
    groups.back().first |= r;
    groups.back().second.push_back(r);
    reach = std::max(reach, end(r));
  }
  return groups;
}

}  // namespace

QRect pixels(const QRectF& twips) {
  const int left = px(twips.left()), top = px(twips.top());
  return QRect(left, top, std::max(1, px(twips.right()) - left), std::max(1, px(twips.bottom()) - top));
}

Dashboard::Dashboard(Layout layout, kyv::Registry* registry, QWidget* parent)
    : QWidget(parent), layout_(std::move(layout)), registry_(registry) {
  if (layout_.background) {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, *layout_.background);
    pal.setColor(QPalette::WindowText, layout_.background->lightness() < 128 ? Qt::white : Qt::black);
    setPalette(pal);
  }
  setAutoFillBackground(true);
  const QSize size = sizeHint();
  setMinimumSize(size);
  resize(size);
}

QSize Dashboard::sizeHint() const { return pixels(QRectF(QPointF(0, 0), layout_.extent())).size(); }

QStringList Dashboard::build() {
  QStringList errors;
  for (const LayoutLabel& item : layout_.labels) {
    auto* label = new QLabel(item.feed ? formatLabel(item.text, std::nullopt) : item.text, this);
    label->setTextFormat(Qt::PlainText);  // a label shows its text as written, never as markup
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(pixels(item.rect));
    labels_.push_back(label);
  }
  for (const LayoutControl& control : layout_.controls) {
    auto* w = new DashboardControl(this, registry_);
    w->setObjectName(control.name);
    const QString owner = QStringLiteral("control \"%1\"").arg(control.name);
    connect(w, &kyvqt::ControlWidget::errorOccurred, this,
            [&errors, owner](const QString& step, const QString& kind, const QString& message) {
              const char* field = step == QLatin1String("Create")   ? "class"
                                  : step == QLatin1String("Resize") ? "rect"
                                                                    : "properties";
              errors << QStringLiteral("%1: %2: %3: %4: %5").arg(owner, QLatin1String(field), step, kind, message);
            });
    controls_.push_back(w);
    restoreControl(static_cast<int>(controls_.size()) - 1);
    w->disconnect(this);
    staleMarks_.push_back(new StaleMark(this));
    marks_.emplace_back();
    staleMarks_.back()->setGeometry(w->geometry());
    addColumnNames(control, *w);
  }
  buildBlocks();
  return errors;
}

// A label a column the control shows, across the strip its feed's columns give.
void Dashboard::addColumnNames(const LayoutControl& control, kyvqt::ControlWidget& widget) {
  std::vector<QLabel*>& names = columnNames_.emplace_back();
  const auto feed =
      std::find_if(control.feeds.begin(), control.feeds.end(), [](const LayoutFeed& f) { return f.columns; });
  if (feed == control.feeds.end() || !widget.control()) return;
  const std::optional<kyv::Variant> shown = widget.tryGet("Columns");
  const int columns = shown ? static_cast<int>(shown->toLong()) : 0;
  const QRect strip = pixels(feed->columns->names);
  for (int i = 0; i < columns; ++i) {
    auto* name = new QLabel(this);
    name->setTextFormat(Qt::PlainText);
    name->setAlignment(Qt::AlignCenter);
    const int left = strip.left() + strip.width() * i / columns,
              right = strip.left() + strip.width() * (i + 1) / columns;
    name->setGeometry(left, strip.top(), right - left, strip.height());
    names.push_back(name);
    labels_.push_back(name);
  }
}

void Dashboard::setColumnNames(int index, const QStringList& names) {
  const std::vector<QLabel*>& shown = columnNames_[index];
  for (size_t i = 0; i < shown.size(); ++i) {
    const QString name = i < size_t(names.size()) ? names[qsizetype(i)] : QString();
    const QString fits = shown[i]->fontMetrics().elidedText(name, Qt::ElideRight, shown[i]->width());
    if (shown[i]->text() != fits) shown[i]->setText(fits);
    const QString tip = fits == name ? QString() : name;
    if (shown[i]->toolTip() != tip) shown[i]->setToolTip(tip);
  }
}

// Each repeated block gets its sign, hidden until it is down; the blocks are what a narrow
// page lays out in a column, after the groups of the rest of the screen.
void Dashboard::buildBlocks() {
  if (!layout_.repeat) return;
  std::vector<QRect> fixed, column;
  for (size_t i = 0; i < layout_.controls.size(); ++i)
    if (layout_.controls[i].block < 0) fixed.push_back(controls_[i]->geometry());
  for (size_t i = 0; i < layout_.labels.size(); ++i)
    if (layout_.labels[i].block < 0 && int(i) != layout_.moreLabel) fixed.push_back(labels_[i]->geometry());
  for (auto& row : partedGroups(fixed, false, kBlockGap))
    for (auto& group : partedGroups(row.second, true, kBlockGap)) column.push_back(group.first);
  for (const LayoutBlock& b : layout_.blocks) column.push_back(pixels(b.rect));
  if (layout_.moreLabel >= 0) column.push_back(labels_[layout_.moreLabel]->geometry());
  blockDown_.assign(layout_.blocks.size(), false);
  downSigns_.assign(layout_.blocks.size(), nullptr);
  setBlocks(column.size() < 2 ? std::vector<QRect>{} : column);
}

// "VALUE down" in white on red across the middle of block `block`; made when it first
// goes down, as most blocks never do.
QLabel* Dashboard::downSign(int block) {
  const QRect at = pixels(layout_.blocks[block].rect);
  auto* sign = new QLabel(layout_.blocks[block].value + QStringLiteral(" down"), this);
  sign->setTextFormat(Qt::PlainText);
  sign->setAlignment(Qt::AlignCenter);
  sign->setAttribute(Qt::WA_TransparentForMouseEvents);
  QFont font = sign->font();
  font.setBold(true);
  font.setPixelSize(std::clamp(at.height() / 6, 10, 48));
  sign->setFont(font);
  QPalette colours = sign->palette();
  colours.setColor(QPalette::Window, QColor(170, 0, 0, 215));
  colours.setColor(QPalette::WindowText, Qt::white);
  sign->setPalette(colours);
  sign->setAutoFillBackground(true);
  const int height = font.pixelSize() * 2;
  sign->setGeometry(at.left(), at.top() + (at.height() - height) / 2, at.width(), height);
  return sign;
}

void Dashboard::setBlockDown(int block, bool down, const QString& why) {
  blockDown_[block] = down;
  for (size_t i = 0; i < layout_.controls.size(); ++i) {
    if (layout_.controls[i].block != block) continue;
    marks_[i].down = down;
    marks_[i].downTip = down ? why : QString();
    showMarks(static_cast<int>(i));
  }
  QLabel*& sign = downSigns_[block];
  if (!sign && down) sign = downSign(block);
  if (!sign) return;
  sign->setToolTip(why);
  sign->setVisible(down);
  if (down) sign->raise();
}

// The control's class restored from its properties, at its rectangle in whole pixels.
void Dashboard::restoreControl(int index) {
  const LayoutControl& control = layout_.controls[index];
  const QRect at = pixels(control.rect);
  kyv::FormControl entry{control.name.toStdString(), control.className.toStdString(),
                         static_cast<float>(at.width() * kyvqt::kTwipsPerPixel),
                         static_cast<float>(at.height() * kyvqt::kTwipsPerPixel), control.properties};
  controls_[index]->restore(entry);
  controls_[index]->move(at.topLeft());
}

void Dashboard::renew(int index) {
  restoreControl(index);
  controls_[index]->update();
}

std::vector<Dashboard::Adopted> Dashboard::adopt(Dashboard& previous) {
  std::vector<Adopted> adopted;
  for (int i = 0; i < count(); ++i) {
    for (int k = 0; k < previous.count(); ++k) {
      kyvqt::ControlWidget* kept = previous.controls_[k];
      if (!kept || previous.layout_.controls[k].rawBesideRect != layout_.controls[i].rawBesideRect) continue;
      previous.controls_[k] = nullptr;
      const bool resized = kept->size() != controls_[i]->size();
      kept->setParent(this);
      kept->setGeometry(controls_[i]->geometry());
      kept->stackUnder(staleMarks_[i]);
      kept->show();
      delete controls_[i];
      controls_[i] = kept;
      adopted.push_back({i, resized});
      break;
    }
  }
  adoptLabels(previous);
  return adopted;
}

// A label that the layout gives exactly as before keeps what it shows (a reading) until
// its feed gives another.
void Dashboard::adoptLabels(const Dashboard& previous) {
  // The layout's labels come first among labels_; the columns' names follow them.
  std::vector<bool> taken(previous.layout_.labels.size(), false);
  for (size_t i = 0; i < layout_.labels.size(); ++i) {
    if (!layout_.labels[i].feed) continue;
    for (size_t k = 0; k < previous.layout_.labels.size(); ++k) {
      if (taken[k] || previous.layout_.labels[k].raw != layout_.labels[i].raw) continue;
      taken[k] = true;
      labels_[i]->setText(previous.labels_[k]->text());
      labels_[i]->setEnabled(previous.labels_[k]->isEnabled());
      labels_[i]->setToolTip(previous.labels_[k]->toolTip());
      break;
    }
  }
}

int Dashboard::indexOf(const QString& name) const {
  for (int i = 0; i < count(); ++i)
    if (controls_[i]->objectName() == name) return i;
  return -1;
}

void Dashboard::setStale(int index, bool stale, const QString& tooltip) {
  marks_[index].stale = stale;
  marks_[index].staleTip = tooltip;
  showMarks(index);
}

void Dashboard::setUnshown(int index, bool unshown, const QString& tooltip) {
  marks_[index].unshown = unshown;
  marks_[index].unshownTip = tooltip;
  showMarks(index);
}

void Dashboard::setAlerting(int index, bool alerting, const QString& tooltip) {
  if (marks_[index].alerting == alerting && marks_[index].alertTip == tooltip) return;
  marks_[index].alerting = alerting;
  marks_[index].alertTip = tooltip;
  showMarks(index);
}

void Dashboard::showMarks(int index) {
  const Marks& m = marks_[index];
  auto* mark = static_cast<StaleMark*>(staleMarks_[index]);
  const bool marked = m.stale || m.unshown || m.alerting || m.down;
  if (mark->unshown != m.unshown || mark->stale != (m.stale || m.down) || mark->alerting != m.alerting) {
    mark->unshown = m.unshown;
    mark->stale = m.stale || m.down;
    mark->alerting = m.alerting;
    mark->update();
  }
  if (mark->isHidden() == marked) {
    mark->setVisible(marked);
    mark->raise();
  }
  QStringList tips;
  for (const QString& t : {m.downTip, m.alertTip, m.staleTip, m.unshownTip})
    if (!t.isEmpty()) tips << t;
  const QString tooltip = tips.join(u'\n');
  if (controls_[index]->toolTip() != tooltip) controls_[index]->setToolTip(tooltip);
}

bool Dashboard::isStale(int index) const { return marks_[index].stale; }
bool Dashboard::isUnshown(int index) const { return marks_[index].unshown; }
bool Dashboard::isAlerting(int index) const { return marks_[index].alerting; }
bool Dashboard::isMarked(int index) const { return !staleMarks_[index]->isHidden(); }

}  // namespace kyvdash

namespace kyvdash {

double Dashboard::smallestTextHeight() const {
  double smallest = 0;
  const auto take = [&smallest](double height) {
    if (height > 0 && (smallest == 0 || height < smallest)) smallest = height;
  };
  for (const QLabel* label : labels_) take(QFontInfo(label->font()).pixelSize());
  for (const kyvqt::ControlWidget* w : controls_) {
    if (!w->control()) continue;
    for (const kyv::Element* e : w->control()->UserControl().elements()) {
      if (e->kind() != kyv::ElementKind::Label || !e->Visible()) continue;
      const auto* caption = static_cast<const kyv::Label*>(e);
      // Points are 20 twips each.
      if (!caption->Caption().empty()) take(caption->FontSize() * 20 / kyvqt::kTwipsPerPixel);
    }
  }
  return smallest;
}

void Dashboard::repaintCells(const QRegion& region) {
  const QRect bounds = region.boundingRect() & rect();
  if (bounds.isEmpty()) return;
  const int cellWidth = (width() + kRepaintCells - 1) / kRepaintCells;
  const int cellHeight = (height() + kRepaintCells - 1) / kRepaintCells;
  for (const QRect& r : region) {
    const QRect within = r & rect();
    if (within.isEmpty()) continue;
    for (int row = within.top() / cellHeight; row <= within.bottom() / cellHeight; ++row) {
      for (int column = within.left() / cellWidth; column <= within.right() / cellWidth; ++column) {
        const quint64 bit = quint64(1) << (row * kRepaintCells + column);
        if (cellsToRepaint_ & bit) continue;
        cellsToRepaint_ |= bit;
        update(QRect(column * cellWidth, row * cellHeight, cellWidth, cellHeight) & rect());
      }
    }
  }
}

// A paint takes every cell asked for until now.
void Dashboard::paintEvent(QPaintEvent* event) {
  cellsToRepaint_ = 0;
  QWidget::paintEvent(event);
}

std::vector<QRect> Dashboard::blocks() const {
  if (!blocks_.empty()) return blocks_;
  std::vector<QRect> places;
  for (const kyvqt::ControlWidget* w : controls_) places.push_back(w->geometry());
  for (const QLabel* label : labels_) places.push_back(label->geometry());
  std::vector<QRect> found;
  for (auto& row : partedGroups(places, false, kBlockGap))
    for (auto& block : partedGroups(row.second, true, kBlockGap)) found.push_back(block.first);
  if (found.size() < 2) return {};
  return found;
}

}  // namespace kyvdash
