#pragma once
// Dashboard: the screen a layout describes. Each control is a kyvqt::ControlWidget at its
// rectangle (15 twips a pixel), restored from its stored properties; labels are plain
// text. A control marked stale is dimmed and hatched, with the age of its data in its
// tooltip.
#include <QLabel>
#include <QWidget>
#include <vector>

#include "ControlWidget.h"
#include "Layout.h"

namespace kyvdash {

class Dashboard : public QWidget {
  Q_OBJECT

 public:
  Dashboard(Layout layout, kyv::Registry* registry = nullptr, QWidget* parent = nullptr);

  // Creates every control. Returns the problems of their creation (a class that cannot be
  // created, properties it refuses, a size it cannot be laid out at), written as layout
  // errors; the dashboard is only usable when there are none.
  QStringList build();

  const Layout& layout() const { return layout_; }
  int count() const { return static_cast<int>(controls_.size()); }
  kyvqt::ControlWidget* control(int index) const { return controls_[index]; }
  int indexOf(const QString& name) const;

  // Marks control `index` stale, or fresh again; `tooltip` says since when.
  void setStale(int index, bool stale, const QString& tooltip);
  bool isStale(int index) const;
  const std::vector<QLabel*>& labels() const { return labels_; }

  QSize sizeHint() const override;

 private:
  Layout layout_;
  kyv::Registry* registry_;
  std::vector<kyvqt::ControlWidget*> controls_;
  std::vector<QWidget*> staleMarks_;
  std::vector<QLabel*> labels_;
};

// A rectangle in twips as whole pixels at 15 twips a pixel.
QRect pixels(const QRectF& twips);

}  // namespace kyvdash
