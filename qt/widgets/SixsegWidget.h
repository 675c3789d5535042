#pragma once
// SixsegWidget: the six-digit seven-segment display Kyv6Digit.sixseg as a typed Qt widget.
// Its properties, slots and signals follow the rules of TypedWidget (writes that never
// throw, colours that round-trip, errorOccurred for a rejected value). The control shows 0
// after a resize; with keepReadingOnResize on, the last number again.
#include <QColor>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API SixsegWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(QColor DisplayColor READ DisplayColor WRITE setDisplayColor RESET resetDisplayColor
                 NOTIFY DisplayColorChanged)
  Q_PROPERTY(int maxlimit READ maxlimit WRITE setmaxlimit RESET resetmaxlimit NOTIFY maxlimitChanged)

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "Kyv6Digit.sixseg";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit SixsegWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit SixsegWidget(kyv::Registry* registry, QWidget* parent = nullptr);

  // Border of the frame around the digits: 0 none, 1 sunken.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Background colour of the digits and of the frame.
  QColor BackColor() const { return readColour("BackColor"); }
  void setBackColor(const QColor& value) { writeColour("BackColor", value); }
  void resetBackColor() { resetToDefault("BackColor"); }

  // Colour of the lit segments.
  QColor DisplayColor() const { return readColour("DisplayColor"); }
  void setDisplayColor(const QColor& value) { writeColour("DisplayColor", value); }
  void resetDisplayColor() { resetToDefault("DisplayColor"); }

  // A stored number; it does not change what is shown.
  int maxlimit() const { return readInt("maxlimit"); }
  void setmaxlimit(int value) { writeInt("maxlimit", value); }
  void resetmaxlimit() { resetToDefault("maxlimit"); }

  // The last number send showed, 0 before the first and after a resize that set the
  // display back to 0; within the numbers the display can show.
  std::optional<Reading> reading() const override;

 public slots:
  // Shows `amount` right-aligned with leading zeros. False, and errorOccurred("send",
  // "overflow", ...), for a number of more than 6 characters: the display stays as it was.
  bool send(int amount);

 signals:
  void BorderStyleChanged();
  void BackColorChanged();
  void DisplayColorChanged();
  void maxlimitChanged();

 protected:
  void reapplyReadings() override;
  void forgetReadings() override;

 private:
  std::optional<int> last_;  // the last reading the control accepted
};

}  // namespace kyvqt
