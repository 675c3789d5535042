#include "Warnings.h"

#include <QFontMetrics>
#include <QLabel>

#include "Dashboard.h"
#include "FeedRange.h"
#include "SeriesPick.h"
#include "kyv/control.h"
#include "kyv/elements.h"
#include "kyv/text.h"

namespace kyvdash {
namespace {

QString number(double v) { return QString::number(v, 'g', 12); }

void feedWarnings(const Dashboard& d, int c, QStringList& out) {
  const LayoutControl& control = d.layout().controls[c];
  const kyv::ClassInfo& info = d.control(c)->control()->classInfo();
  for (const LayoutFeed& feed : control.feeds) {
    const LayoutSource* source = d.layout().source(feed.source);
    if (!source || !source->settings) continue;
    const std::optional<FieldReach> reach = source->settings->fieldReach(feed.field);
    QString field, problem;
    const std::optional<FeedMembers> members = feedMembers(info, feed, &field, &problem);
    if (!reach || !members) continue;
    const FeedRange range = feedRange(*members, info);
    const double a = reach->low * feed.scale + feed.offset, b = reach->high * feed.scale + feed.offset;
    if (range.contains(a) && range.contains(b)) continue;
    out << QStringLiteral("control \"%1\": %2scale: %3.%4 reaches %5 (%6), shown as %7; %8 shows %9")
               .arg(control.name, feed.at, feed.source, feed.field, number(reach->high), reach->why,
                    number(std::max(a, b)), control.className, range.text());
  }
}

// The control's own captions (an axis's numbers, a caption) measured as the renderer draws them.
void captionWarnings(const Dashboard& d, int c, QStringList& out) {
  const kyv::Control* control = d.control(c)->control();
  if (!control) return;
  const QString name = d.layout().controls[c].name;
  QStringList beyond;
  for (const kyv::Element* e : control->UserControl().elements()) {
    if (e->kind() != kyv::ElementKind::Label || !e->Visible()) continue;
    const auto* label = static_cast<const kyv::Label*>(e);
    if (label->Caption().empty()) continue;
    const kyv::TextSize size =
        kyv::measureText(label->Caption(), label->FontName(), label->FontWeight(), label->FontSize());
    // Where the text is drawn: aligned in the label's rectangle, and spilling out of it
    // evenly when centred; only the label's container cuts it.
    const float room = label->widthTwips() - size.width;
    const float left = label->leftTwips() + (label->Alignment() == 1 ? room : label->Alignment() == 2 ? room / 2 : 0);
    const float right = left + size.width;
    if (left < -1 || right > label->parent()->interiorWidth() + 1)
      beyond << u'"' + QString::fromStdString(label->Caption()) + u'"';
  }
  if (!beyond.isEmpty())
    out << QStringLiteral("control \"%1\": rect: captions that reach beyond their box are cut: %2")
               .arg(name, beyond.join(QStringLiteral(", ")));
}

// A control laid out smaller than the smallest extent its class shows its parts readably
// at (digits under about 32 pixels high run together). Drawn at a larger scale it is
// larger too, but the layout is made for its own size.
void sizeWarnings(const Dashboard& d, int c, QStringList& out) {
  const kyv::Control* control = d.control(c)->control();
  if (!control) return;
  const kyv::ClassInfo& info = control->classInfo();
  const QSizeF has = d.layout().controls[c].rect.size();
  if (has.width() >= info.minimumWidth() && has.height() >= info.minimumHeight()) return;
  out << QStringLiteral("control \"%1\": rect: %2 x %3 twips is smaller than %4 draws legibly (%5 x %6 at least)")
             .arg(d.layout().controls[c].name)
             .arg(has.width())
             .arg(has.height())
             .arg(d.layout().controls[c].className)
             .arg(info.minimumWidth())
             .arg(info.minimumHeight());
}

void labelWarnings(const Dashboard& d, QStringList& out) {
  for (size_t i = 0; i < d.layout().labels.size(); ++i) {  // the columns' names change with their series
    const QLabel* l = d.labels()[i];
    if (d.layout().labels[i].feed) continue;  // its text changes with its reading
    const QSize needs = QFontMetrics(l->font()).size(0, l->text());
    if (needs.width() <= l->width() && needs.height() <= l->height()) continue;
    out << QStringLiteral("labels[%1]: rect: \"%2\" needs %3 x %4 twips and has %5 x %6; it is cut")
               .arg(i)
               .arg(l->text())
               .arg(needs.width() * kyvqt::kTwipsPerPixel)
               .arg(needs.height() * kyvqt::kTwipsPerPixel)
               .arg(l->width() * kyvqt::kTwipsPerPixel)
               .arg(l->height() * kyvqt::kTwipsPerPixel);
  }
}

// What `feed` (of `owner`, showing `columns` columns or else one series) is given of `all`.
QString seriesWarning(const QString& owner, const LayoutFeed& feed, int columns, const std::vector<Series>& all) {
  const QString at = owner + QStringLiteral(": ") + feed.at;
  if (feed.columns) {
    int left = 0;
    seriesColumns(all, feed.columns->by, feed.match, columns, &left);
    if (left == 0) return {};
    return QStringLiteral("%1columns: %2 gives %3 series now and the control shows %4 columns")
        .arg(at, feed.field)
        .arg(columns + left)
        .arg(columns);
  }
  if (feed.match.empty()) {
    if (all.size() < 2) return {};
    return QStringLiteral("%1field: %2 gives %3 series now and the %4 shows one (the first); \"match\" chooses one")
        .arg(at, feed.field)
        .arg(all.size())
        .arg(owner.startsWith(QLatin1String("control")) ? QStringLiteral("control") : QStringLiteral("label"));
  }
  const size_t found = matchingSeries(all, feed.match).size();
  if (found == 1) return {};
  if (found == 0)
    return QStringLiteral("%1match: none of the %2 series %3 gives now has %4")
        .arg(at)
        .arg(all.size())
        .arg(feed.field, labelsText(feed.match));
  return QStringLiteral("%1match: %2 series of %3 match %4 now; the first is shown")
      .arg(at)
      .arg(found)
      .arg(feed.field, labelsText(feed.match));
}

}  // namespace

QStringList seriesWarnings(const Dashboard& d, std::chrono::milliseconds timeout) {
  struct Fed {
    QString owner;
    const LayoutFeed* feed;
    int columns;
  };
  std::vector<Fed> feeds;
  for (int c = 0; c < d.count(); ++c)
    for (const LayoutFeed& f : d.layout().controls[c].feeds)
      feeds.push_back({QStringLiteral("control \"%1\"").arg(d.layout().controls[c].name), &f,
                       static_cast<int>(d.columnNames(c).size())});
  for (size_t i = 0; i < d.layout().labels.size(); ++i)
    if (d.layout().labels[i].feed)
      feeds.push_back({QStringLiteral("labels[%1]").arg(i), &*d.layout().labels[i].feed, 0});
  QStringList out;
  for (const LayoutSource& source : d.layout().sources) {
    if (!source.settings || source.settings->seriesKind() != SeriesKind::Values) continue;
    QStringList fields;
    for (const Fed& f : feeds)
      if (f.feed->source == source.name && !fields.contains(f.feed->field)) fields << f.feed->field;
    if (fields.isEmpty()) continue;
    QString failure;
    const std::map<QString, std::vector<Series>> answers = source.settings->askOnce(fields, timeout, &failure);
    if (!failure.isEmpty()) {
      out << QStringLiteral("source \"%1\": could not be asked what its fields give (%2); their series are not checked")
                 .arg(source.name, failure);
      continue;
    }
    for (const Fed& f : feeds) {
      const auto answer = answers.find(f.feed->field);
      if (f.feed->source != source.name || answer == answers.end()) continue;
      if (const QString w = seriesWarning(f.owner, *f.feed, f.columns, answer->second); !w.isEmpty()) out << w;
    }
  }
  return out;
}

QStringList layoutWarnings(const Dashboard& d) {
  QStringList out;
  for (int c = 0; c < d.count(); ++c) {
    feedWarnings(d, c, out);
    sizeWarnings(d, c, out);
    captionWarnings(d, c, out);
  }
  labelWarnings(d, out);
  return out;
}

}  // namespace kyvdash
