#pragma once
// DigitsWidget: what the seven-segment displays share as typed Qt widgets (SsegWidget,
// FoursegWidget, SixsegWidget): the same properties and the send slot, which differ only in
// the numbers a display can show. Its properties, slots and signals follow the rules of
// TypedWidget (writes that never throw, colours that round-trip, errorOccurred for a
// rejected value). The control shows 0 after a resize; with keepReadingOnResize on, the
// last number again.
#include <QColor>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API DigitsWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(QColor DisplayColor READ DisplayColor WRITE setDisplayColor RESET resetDisplayColor
                 NOTIFY DisplayColorChanged)
  Q_PROPERTY(int maxlimit READ maxlimit WRITE setmaxlimit RESET resetmaxlimit NOTIFY maxlimitChanged)

 public:
  // Border of the frame around the digit or digits: 0 none, 1 sunken.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Background colour of the digit or digits and of the frame.
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
  // The numbers the display can show: those of at most its digits' count of characters.
  int lowest() const { return lowest_; }
  int highest() const { return highest_; }

 public slots:
  // Shows `amount`: on one digit 0 to 9, on a row right-aligned with leading zeros. False,
  // and errorOccurred("send", "overflow", ...), for a number outside lowest() to highest():
  // the display stays as it was.
  bool send(int amount);

 signals:
  void BorderStyleChanged();
  void BackColorChanged();
  void DisplayColorChanged();
  void maxlimitChanged();

 protected:
  // Creates the control of class `className` through `registry` (the default one when null);
  // it shows the numbers `lowest` to `highest`. A control that cannot be created is
  // reported ("Create") and every later call through the widget reports it again.
  DigitsWidget(const char* className, int lowest, int highest, kyv::Registry* registry, QWidget* parent);

  void reapplyReadings() override;
  void forgetReadings() override;

 private:
  int lowest_, highest_;
  std::optional<int> last_;  // the last reading the control accepted
};

}  // namespace kyvqt
