#pragma once
// KyvMultiBarWidget: the ten-column level display KyvMultiBars.KyvMultiBar as a typed Qt
// widget. Its properties, slots and signals follow the rules of TypedWidget (writes that
// never throw, colours that round-trip, errorOccurred for a rejected value). With
// keepReadingOnResize on, a resize sets every bar again to its last value (then selects the
// bar that was selected), so the bars are measured against the new height.
#include <QColor>
#include <array>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API KyvMultiBarWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(QColor BarColor READ BarColor WRITE setBarColor RESET resetBarColor NOTIFY BarColorChanged)
  Q_PROPERTY(int Columns READ Columns WRITE setColumns RESET resetColumns NOTIFY ColumnsChanged)
  Q_PROPERTY(int MaxLimit READ MaxLimit WRITE setMaxLimit RESET resetMaxLimit NOTIFY MaxLimitChanged)

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "KyvMultiBars.KyvMultiBar";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit KyvMultiBarWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit KyvMultiBarWidget(kyv::Registry* registry, QWidget* parent = nullptr);

  // Colour of the surface and of the lines that cut the bars into segments.
  QColor BackColor() const { return readColour("BackColor"); }
  void setBackColor(const QColor& value) { writeColour("BackColor", value); }
  void resetBackColor() { resetToDefault("BackColor"); }

  // Border of the surface: 0 none, 1 sunken.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Colour of the visible bars.
  QColor BarColor() const { return readColour("BarColor"); }
  void setBarColor(const QColor& value) { writeColour("BarColor", value); }
  void resetBarColor() { resetToDefault("BarColor"); }

  // Number of bars shown, from bar 0: 0 to 10.
  int Columns() const { return readInt("Columns"); }
  void setColumns(int value) { writeInt("Columns", value); }
  void resetColumns() { resetToDefault("Columns"); }

  // The value that fills a bar's whole height, above 0; it takes effect at the next layout.
  int MaxLimit() const { return readInt("MaxLimit"); }
  void setMaxLimit(int value) { writeInt("MaxLimit", value); }
  void resetMaxLimit() { resetToDefault("MaxLimit"); }

 public slots:
  // Selects the bar, 0 to 9, that the next Value sets. False, and errorOccurred("Column",
  // "subscript-out-of-range", ...), for another number; the selection stays.
  bool Column(int ColumnNumber);
  // Sets the selected bar to `Values` units of MaxLimit (above MaxLimit shows a full bar).
  // False, and errorOccurred("Value", ...), for a negative value (invalid-property-value) or
  // one outside -32768 to 32767 (overflow).
  bool Value(int Values);
  // Column(column), then Value(value): one slot for a queued connection that feeds any bar
  // (connect with qOverload<int, int>). False when either step fails.
  bool Value(int column, int value);

 signals:
  void BackColorChanged();
  void BorderStyleChanged();
  void BarColorChanged();
  void ColumnsChanged();
  void MaxLimitChanged();

 protected:
  void reapplyReadings() override;

 private:
  std::array<std::optional<int>, 10> values_{};  // the last value of each bar
  int selected_ = 0;                             // the bar the next Value sets
};

}  // namespace kyvqt
