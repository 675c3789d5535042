#include "StatusLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScreen>
#include <QTextBrowser>
#include <QToolButton>
#include <algorithm>

namespace kyvdemo {
namespace {

QString timeText(const QDateTime& t) { return t.toString(QStringLiteral("hh:mm:ss")); }

// A one-line label that elides its text at its right end to the width it is given; it
// never asks the window for more.
class ElidedLabel final : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
  }
  void setFullText(const QString& text) {
    full_ = text;
    elide();
  }
  QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QLabel::resizeEvent(event);
    elide();
  }

 private:
  void elide() { setText(fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width())); }
  QString full_;
};

// "WHERE: KIND (NOTES): MESSAGE", the notes being the hint and, when `repeats` is set and
// the error repeated, how often (and since when, with `since`).
QString errorText(const StatusLine::Report& r, bool repeats, bool since) {
  QStringList notes;
  if (repeats && r.count > 1)
    notes << (since ? QStringLiteral("%1 times since %2").arg(r.count).arg(timeText(r.first))
                    : QStringLiteral("%1 times").arg(r.count));
  if (!r.hint.isEmpty()) notes << r.hint;
  QString text = r.where + QStringLiteral(": ") + r.kind;
  if (!notes.isEmpty()) text += QStringLiteral(" (") + notes.join(QStringLiteral("; ")) + QLatin1Char(')');
  return text + QStringLiteral(": ") + r.message;
}

}  // namespace

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* line = new ElidedLabel(this);
  line->setObjectName(QStringLiteral("statusLine"));
  line_ = line;
  button_ = new QToolButton(this);
  button_->setObjectName(QStringLiteral("errorsButton"));
  button_->setAutoRaise(true);
  connect(button_, &QToolButton::clicked, this, &StatusLine::showRecent);
  layout->addWidget(line_, 1);
  layout->addWidget(button_);
  refresh();
}

StatusLine::~StatusLine() = default;

void StatusLine::report(const QString& panel, const QString& where, const QString& kind, const QString& message,
                        const QString& hint) {
  const QDateTime now = QDateTime::currentDateTime();
  const auto same = std::find_if(standing_.begin(), standing_.end(), [&](const auto& r) { return r->panel == panel; });
  if (same != standing_.end() && (*same)->where == where && (*same)->kind == kind) {
    Report& r = **same;
    ++r.count;
    r.last = now;
    r.message = message;
    r.hint = hint;
    return refresh();
  }
  if (same != standing_.end()) {
    (*same)->standing = false;
    standing_.erase(same);
  }
  auto r = std::make_shared<Report>(Report{panel, where, kind, message, hint, now, now, 1, true, ++reports_});
  standing_.append(r);
  recent_.prepend(r);
  if (recent_.size() > kRecent) recent_.removeLast();
  refresh();
}

void StatusLine::clear(const QString& panel) {
  const auto it = std::find_if(standing_.begin(), standing_.end(), [&](const auto& r) { return r->panel == panel; });
  if (it == standing_.end()) return;
  (*it)->standing = false;
  standing_.erase(it);
  refresh();
}

QString StatusLine::currentError() const {
  if (standing_.isEmpty()) return {};
  const Report& r = *standing_.last();
  return r.where + QStringLiteral(": ") + r.kind + QStringLiteral(": ") + r.message;
}

QList<StatusLine::Report> StatusLine::recent() const {
  QList<Report> list;
  for (const auto& r : recent_) list.append(*r);
  return list;
}

QString StatusLine::lineText(const Report& r, bool since) {
  return timeText(r.last) + QStringLiteral("  ") + r.panel + QStringLiteral(": ") + errorText(r, true, since);
}

// standing_ keeps the order of first reports, so its last entry is the newest error.
void StatusLine::refresh() {
  auto* line = static_cast<ElidedLabel*>(line_);
  line->setFullText(standing_.isEmpty() ? QString() : lineText(*standing_.last(), false));
  QStringList tip;
  for (auto it = standing_.rbegin(); it != standing_.rend(); ++it)
    tip << QStringLiteral("<p>") + lineText(**it, true).toHtmlEscaped() + QStringLiteral("</p>");
  line_->setToolTip(tip.join(QString()));
  button_->setText(recent_.isEmpty() ? QStringLiteral("No errors")
                                     : QStringLiteral("Recent errors (%1)").arg(recent_.size()));
  button_->setEnabled(!recent_.isEmpty());
}

void StatusLine::showRecent() {
  auto* popup = new QFrame(this, Qt::Popup);
  popup->setObjectName(QStringLiteral("recentErrors"));
  popup->setAttribute(Qt::WA_DeleteOnClose);
  popup->setFrameStyle(QFrame::Box | QFrame::Plain);
  auto* layout = new QHBoxLayout(popup);
  layout->setContentsMargins(1, 1, 1, 1);
  auto* list = new QTextBrowser(popup);
  list->setObjectName(QStringLiteral("recentErrorsList"));
  list->setFrameStyle(QFrame::NoFrame);
  // An error that no longer stands is greyed.
  const QString cleared = palette().color(QPalette::Disabled, QPalette::Text).name();
  QString rows = QStringLiteral(
      "<tr><th align=left>When</th><th align=left>Panel</th><th align=right>Times</th>"
      "<th align=left>Error</th></tr>");
  for (const auto& r : recent_) {
    const QString when =
        r->count > 1 ? timeText(r->first) + QStringLiteral(" - ") + timeText(r->last) : timeText(r->first);
    const QString colour = r->standing ? QString() : QStringLiteral(" style=\"color:%1\"").arg(cleared);
    rows += QStringLiteral(
                "<tr%1><td style=\"white-space:pre\">%2</td><td style=\"white-space:pre\">%3</td>"
                "<td align=right>%4</td><td>%5</td></tr>")
                .arg(colour, when.toHtmlEscaped(), r->panel.toHtmlEscaped(), QString::number(r->count),
                     errorText(*r, false, false).toHtmlEscaped());
  }
  list->setHtml(QStringLiteral("<table cellspacing=0 cellpadding=3 width=\"100%\">") + rows +
                QStringLiteral("</table>"));
  layout->addWidget(list);
  const QRect screen = this->screen()->availableGeometry();
  const QSize size(std::min(window()->width(), screen.width()), std::min(window()->height() / 2, screen.height()));
  const QPoint corner = button_->mapToGlobal(QPoint(button_->width(), 0));
  QRect place(corner - QPoint(size.width(), size.height()), size);
  place.moveLeft(std::clamp(place.left(), screen.left(), screen.right() - size.width() + 1));
  place.moveTop(std::clamp(place.top(), screen.top(), screen.bottom() - size.height() + 1));
  popup->setGeometry(place);
  popup->show();
}

}  // namespace kyvdemo
