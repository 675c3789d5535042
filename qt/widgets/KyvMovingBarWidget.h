#pragma once
// KyvMovingBarWidget: the scrolling bar graph KyvMovingBars.KyvMovingBar as a typed Qt
// widget. Its properties, slots and signals follow the rules of TypedWidget (writes that
// never throw, colours that round-trip, errorOccurred for a rejected value). The graph
// keeps its bars through a resize by itself (at the heights they were drawn, standing on
// the new bottom edge), so keepReadingOnResize changes nothing here: feeding the values
// again would scroll them in as new bars and raise their events again.
#include <QColor>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API KyvMovingBarWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(int value READ value WRITE setvalue RESET resetvalue NOTIFY valueChanged)
  Q_PROPERTY(int MaxLimit READ MaxLimit WRITE setMaxLimit RESET resetMaxLimit NOTIFY MaxLimitChanged)
  Q_PROPERTY(bool showgrid READ showgrid WRITE setshowgrid RESET resetshowgrid NOTIFY showgridChanged)
  Q_PROPERTY(bool showLabel READ showLabel WRITE setshowLabel RESET resetshowLabel NOTIFY showLabelChanged)
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(QColor FillColor READ FillColor WRITE setFillColor RESET resetFillColor NOTIFY FillColorChanged)

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "KyvMovingBars.KyvMovingBar";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit KyvMovingBarWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit KyvMovingBarWidget(kyv::Registry* registry, QWidget* parent = nullptr);

  // A stored number; it draws nothing (MoveBar feeds the graph).
  int value() const { return readInt("value"); }
  void setvalue(int value) { writeInt("value", value); }
  void resetvalue() { resetToDefault("value"); }

  // The value of a bar as high as the chart, and of the grid labels at the next layout.
  int MaxLimit() const { return readInt("MaxLimit"); }
  void setMaxLimit(int value) { writeInt("MaxLimit", value); }
  void resetMaxLimit() { resetToDefault("MaxLimit"); }

  // Shows or hides the nine grid lines.
  bool showgrid() const { return readBool("showgrid"); }
  void setshowgrid(bool value) { writeBool("showgrid", value); }
  void resetshowgrid() { resetToDefault("showgrid"); }

  // Shows or hides the nine grid labels.
  bool showLabel() const { return readBool("showLabel"); }
  void setshowLabel(bool value) { writeBool("showLabel", value); }
  void resetshowLabel() { resetToDefault("showLabel"); }

  // Colour of the bars.
  QColor BackColor() const { return readColour("BackColor"); }
  void setBackColor(const QColor& value) { writeColour("BackColor", value); }
  void resetBackColor() { resetToDefault("BackColor"); }

  // Border of the chart frame: 0 none, 1 fixed single.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Colour of the background behind the bars.
  QColor FillColor() const { return readColour("FillColor"); }
  void setFillColor(const QColor& value) { writeColour("FillColor", value); }
  void resetFillColor() { resetToDefault("FillColor"); }

 public slots:
  // Adds `x` as the newest bar and emits maxLimitReached or normalOPs. False, and
  // errorOccurred("MoveBar", ...), for a value outside -32768 to 32767 (overflow), a negative
  // bar (invalid-property-value) or MaxLimit 0 (division-by-zero); the bars stay as they were.
  bool MoveBar(int x);

 signals:
  void valueChanged();
  void MaxLimitChanged();
  void showgridChanged();
  void showLabelChanged();
  void BackColorChanged();
  void BorderStyleChanged();
  void FillColorChanged();
  // MoveBar added a value at or above MaxLimit.
  void maxLimitReached();
  // MoveBar added a value below MaxLimit.
  void normalOPs();
};

}  // namespace kyvqt
