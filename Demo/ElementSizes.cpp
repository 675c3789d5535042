#include "ElementSizes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <algorithm>

namespace kyvdemo {
namespace {

// QLineEdit keeps this many pixels between its contents rectangle and its text on
// either side.
constexpr int kLineEditMargin = 2;

// The width of a text box that shows five digits whole, with the cursor after them: the
// style's frame and padding around the contents, the box's margins, the digits.
int fiveDigitsWidth(const QLineEdit* box) {
  QStyleOptionFrame frame;
  frame.initFrom(box);
  frame.rect = QRect(QPoint(0, 0), box->size());
  frame.lineWidth = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, box);
  const QRect contents = box->style()->subElementRect(QStyle::SE_LineEditContents, &frame, box);
  const QMargins text = box->textMargins();
  const int digits = box->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 1;  // and the cursor
  return box->width() - contents.width() + text.left() + text.right() + 2 * kLineEditMargin + digits;
}

// The width a button needs for its caption inside its bevel. (The style's size hint also
// asks for a minimum width of its own, which the form's small buttons do not need.)
int captionWidth(const QPushButton* button) {
  const int bevel = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
                    button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
  return button->fontMetrics().horizontalAdvance(button->text()) + 2 * bevel;
}

// The size `w` needs at least, for a size `designed` in the form's layout: a check box, a
// one-line label or a combo box as wide as its size hint, a text box as wide as five
// digits, a button as wide as its caption; every one at least as high as its size hint.
QSize needed(QWidget* w, QSize designed) {
  int width = designed.width();
  const auto* label = qobject_cast<QLabel*>(w);
  if (qobject_cast<QCheckBox*>(w) || qobject_cast<QComboBox*>(w) || (label && !label->wordWrap()))
    width = std::max(width, w->sizeHint().width());
  if (const auto* box = qobject_cast<QLineEdit*>(w)) width = std::max(width, fiveDigitsWidth(box));
  if (const auto* button = qobject_cast<QPushButton*>(w)) width = std::max(width, captionWidth(button));
  return QSize(width, std::max(designed.height(), w->sizeHint().height()));
}

}  // namespace

void fitToContents(const QList<QWidget*>& elements, const QRect& inside) {
  QList<QRect> rects;
  QList<QRect> designed;
  for (QWidget* w : elements) {
    const QSize size = needed(w, w->size());
    const int top = w->y() - (size.height() - w->height()) / 2;
    rects.append(QRect(QPoint(w->x(), top), size));
    designed.append(w->geometry());
  }
  for (qsizetype a = 0; a < rects.size(); ++a) {
    for (qsizetype b = 0; b < rects.size(); ++b) {
      QRect& upper = rects[a];
      QRect& lower = rects[b];
      if (a == b || !upper.intersects(lower) || designed[a].center().y() >= designed[b].center().y()) continue;
      const int overlap = upper.bottom() - lower.top() + 1;
      upper.setBottom(std::max(upper.bottom() - (overlap + 1) / 2, designed[a].bottom()));
      lower.setTop(std::min(lower.top() + overlap / 2, designed[b].top()));
    }
  }
  for (qsizetype i = 0; i < elements.size(); ++i) {
    QRect r = rects[i];
    r.moveTop(std::clamp(r.top(), inside.top(), std::max(inside.top(), inside.bottom() - r.height() + 1)));
    r.setRight(std::min(r.right(), inside.right()));
    elements[i]->setGeometry(r);
  }
}

}  // namespace kyvdemo
