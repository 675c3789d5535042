#pragma once
// HeartBeatWidget: the scrolling trace KyvPulse.HeartBeat as a typed Qt widget. Its
// properties, slots and signals follow the rules of TypedWidget (writes that never throw,
// colours that round-trip, errorOccurred for a rejected value). A resize lays out a new,
// empty trace; with keepReadingOnResize on, the widget plots again the points the trace
// held (the last HorizCount + 1 values), so the picture stays at the new size.
#include <QColor>
#include <deque>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API HeartBeatWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(int HorizCount READ HorizCount WRITE setHorizCount RESET resetHorizCount NOTIFY HorizCountChanged)
  Q_PROPERTY(int MaxLimit READ MaxLimit WRITE setMaxLimit RESET resetMaxLimit NOTIFY MaxLimitChanged)
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(QColor LineColor READ LineColor WRITE setLineColor RESET resetLineColor NOTIFY LineColorChanged)
  Q_PROPERTY(bool GridVisible READ GridVisible WRITE setGridVisible RESET resetGridVisible NOTIFY GridVisibleChanged)
  Q_PROPERTY(QColor GridColor READ GridColor WRITE setGridColor RESET resetGridColor NOTIFY GridColorChanged)

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "KyvPulse.HeartBeat";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit HeartBeatWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit HeartBeatWidget(kyv::Registry* registry, QWidget* parent = nullptr);

  // Steps across the width (the trace has HorizCount + 1 points). A change lays the trace
  // out again at once, as a resize does (the control alone waits for the next resize).
  int HorizCount() const { return readInt("HorizCount"); }
  void setHorizCount(int value);
  void resetHorizCount();

  // The value drawn at the top edge. A change lays the trace out again at once, as
  // HorizCount's does.
  int MaxLimit() const { return readInt("MaxLimit"); }
  void setMaxLimit(int value);
  void resetMaxLimit();

  // Background of the plot area; a write also clears the drawn trace.
  QColor BackColor() const { return readColour("BackColor"); }
  void setBackColor(const QColor& value) { writeColour("BackColor", value); }
  void resetBackColor() { resetToDefault("BackColor"); }

  // Border of the plot area: 0 none, 1 fixed single.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Colour of the trace drawn from now on.
  QColor LineColor() const { return readColour("LineColor"); }
  void setLineColor(const QColor& value) { writeColour("LineColor", value); }
  void resetLineColor() { resetToDefault("LineColor"); }

  // Shows or hides the dotted grid.
  bool GridVisible() const { return readBool("GridVisible"); }
  void setGridVisible(bool value) { writeBool("GridVisible", value); }
  void resetGridVisible() { resetToDefault("GridVisible"); }

  // Colour of the dotted grid.
  QColor GridColor() const { return readColour("GridColor"); }
  void setGridColor(const QColor& value) { writeColour("GridColor", value); }
  void resetGridColor() { resetToDefault("GridColor"); }

 public slots:
  // Adds one point to the trace. False, and errorOccurred("Plot", ...), for a value outside
  // -32768 to 32767 or one whose MaxLimit - Value is (overflow), or a point beyond the layout
  // after HorizCount was raised (subscript-out-of-range).
  bool Plot(int Value);

 signals:
  void HorizCountChanged();
  void MaxLimitChanged();
  void BackColorChanged();
  void BorderStyleChanged();
  void LineColorChanged();
  void GridVisibleChanged();
  void GridColorChanged();

 protected:
  void reapplyReadings() override;
  void forgetReadings() override;

 private:
  std::deque<int> history_;  // the points of the trace, at most HorizCount + 1, oldest first
};

}  // namespace kyvqt
