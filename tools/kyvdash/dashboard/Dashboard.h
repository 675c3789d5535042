#pragma once
// Dashboard: the screen a layout describes. Each control is a kyvqt::ControlWidget at its
// rectangle (15 twips a pixel), restored from its stored properties; labels are plain
// text. A control marked stale is dimmed and hatched, with the age of its data in its
// tooltip; one given a reading it cannot show is hatched in red, with the reading in its
// tooltip; one whose series a firing alert concerns is framed in black and yellow stripes
// with a "!" badge in its corner, the alerts named in its tooltip. A multi-bar fed one
// column a series has the names of its columns written under them.
#include <QLabel>
#include <QWidget>
#include <vector>

#include "Layout.h"
#include "kyv/qt/ControlWidget.h"

namespace kyvdash {

class Dashboard : public QWidget {
  Q_OBJECT

 public:
  Dashboard(Layout layout, kyv::Registry* registry = nullptr, QWidget* parent = nullptr);

  // Creates every control. Returns the problems of their creation (a class that cannot be
  // created, properties it refuses, a size it cannot be laid out at), written as layout
  // errors; the dashboard is only usable when there are none.
  QStringList build();

  // Takes over from `previous` each control that the layout gives as before but for its
  // rectangle, in place of the one built for it, so that what it shows (a trace's history)
  // stays; a moved control is moved, one of another size laid out at it. Returns the
  // controls taken over; `previous` is only fit to be deleted afterwards.
  struct Adopted {
    int index = 0;
    bool resized = false;  // laid out at another size: its picture may have been emptied
  };
  std::vector<Adopted> adopt(Dashboard& previous);
  // Creates control `index` anew from its layout, its picture empty, keeping its place,
  // marks and connections.
  void renew(int index);

  const Layout& layout() const { return layout_; }
  kyv::Registry* registry() const { return registry_; }
  int count() const { return static_cast<int>(controls_.size()); }
  kyvqt::ControlWidget* control(int index) const { return controls_[index]; }
  int indexOf(const QString& name) const;

  // Marks control `index` stale, or fresh again; `tooltip` says since when.
  void setStale(int index, bool stale, const QString& tooltip);
  bool isStale(int index) const;
  // Marks control `index` as given a reading it cannot show, or not; `tooltip` says which.
  void setUnshown(int index, bool unshown, const QString& tooltip);
  bool isUnshown(int index) const;
  // Marks control `index` as showing a series that a firing alert concerns, or not;
  // `tooltip` names the alerts.
  void setAlerting(int index, bool alerting, const QString& tooltip);
  bool isAlerting(int index) const;
  // Marks repeated block `block` (of the layout's blocks) down, or up again: its controls
  // dimmed and hatched as stale ones are, `why` in their tooltips, and "VALUE down" written
  // across it.
  void setBlockDown(int block, bool down, const QString& why);
  bool isBlockDown(int block) const { return blockDown_[block]; }
  // Whether control `index` belongs to a block marked down.
  bool isDown(int index) const { return marks_[index].down; }
  // Whether control `index` is marked (stale, unshown, alerting or down).
  bool isMarked(int index) const;
  // The layout's labels in its order, then the names of the multi-bars' columns.
  const std::vector<QLabel*>& labels() const { return labels_; }
  // The labels naming control `index`'s columns, one a column it shows (a multi-bar whose
  // feed has `columns`); empty for any other control.
  const std::vector<QLabel*>& columnNames(int index) const { return columnNames_[index]; }
  // Writes `names` under control `index`'s columns, in order; a column past them is blank. A
  // name too long for its column is cut short with an ellipsis, whole in its tooltip.
  void setColumnNames(int index, const QStringList& names);

  // The height of the smallest text on the screen (a label's, a control's own caption's),
  // in layout pixels: the em of its font; 0 when there is none.
  double smallestTextHeight() const;
  // The blocks the screen is made of, in layout pixels, for a narrow page to lay out in a
  // column: those set with setBlocks, or else the groups of controls and labels that bands
  // of background at least kBlockGap wide part from each other (rows, then the blocks of
  // each row). Empty when the screen is one block.
  std::vector<QRect> blocks() const;
  // Sets the blocks the screen is made of (a layout of repeated blocks knows them); an
  // empty list has them found by their gaps again.
  void setBlocks(std::vector<QRect> blocks) { blocks_ = std::move(blocks); }
  // The least background between two blocks, in layout pixels (120 twips, the screen's
  // own margin).
  static constexpr int kBlockGap = 8;

  QSize sizeHint() const override;

  // Controls' repaints are gathered into cells of a grid of kRepaintCells x kRepaintCells
  // over the screen: the screen is repainted in a region of at most that many rectangles
  // however many controls changed, so that Qt's work on the region, which grows with its
  // rectangles for every widget it paints, stays in step with the controls.
  static constexpr int kRepaintCells = 8;
  // Repaints the cells `region` (the screen's pixels) touches, each once a frame.
  void repaintCells(const QRegion& region);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Layout layout_;
  kyv::Registry* registry_;
  std::vector<kyvqt::ControlWidget*> controls_;
  struct Marks {
    bool stale = false, unshown = false, alerting = false, down = false;
    QString staleTip, unshownTip, alertTip, downTip;
  };
  void buildBlocks();
  void adoptLabels(const Dashboard& previous);
  QLabel* downSign(int block);
  void showMarks(int index);
  void addColumnNames(const LayoutControl& control, kyvqt::ControlWidget& widget);
  std::vector<std::vector<QLabel*>> columnNames_;  // by control
  void restoreControl(int index);
  std::vector<QWidget*> staleMarks_;
  std::vector<Marks> marks_;
  std::vector<QLabel*> labels_;
  std::vector<QRect> blocks_;
  std::vector<QLabel*> downSigns_;  // by repeated block: "VALUE down" once it has been down, shown while it is
  std::vector<bool> blockDown_;
  quint64 cellsToRepaint_ = 0;  // a bit a cell, row by row: asked for since the last paint
};

// A rectangle in twips as whole pixels at 15 twips a pixel.
QRect pixels(const QRectF& twips);

}  // namespace kyvdash
