#pragma once
// StatusBarWidget: what the vertical and the horizontal threshold status bar share as typed
// Qt widgets (KyvvstatWidget, HstatWidget): the same properties, the incbar slot and a
// signal per band. Its properties, slots and signals follow the rules of TypedWidget (writes
// that never throw, colours that round-trip, errorOccurred for a rejected value). With
// keepReadingOnResize on, a resize shows the last reading again.
#include <QColor>
#include <optional>

#include "kyv/qt/TypedWidget.h"

namespace kyvqt {

class KYVQT_API StatusBarWidget : public TypedWidget {
  Q_OBJECT
  Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle RESET resetBorderStyle NOTIFY BorderStyleChanged)
  Q_PROPERTY(int Bar3D READ Bar3D WRITE setBar3D RESET resetBar3D NOTIFY Bar3DChanged)
  Q_PROPERTY(bool CaptionVisible READ CaptionVisible WRITE setCaptionVisible RESET resetCaptionVisible
                 NOTIFY CaptionVisibleChanged)
  Q_PROPERTY(int CaptionBorder READ CaptionBorder WRITE setCaptionBorder RESET resetCaptionBorder
                 NOTIFY CaptionBorderChanged)
  Q_PROPERTY(QColor BackColor READ BackColor WRITE setBackColor RESET resetBackColor NOTIFY BackColorChanged)
  Q_PROPERTY(QColor FillColor READ FillColor WRITE setFillColor RESET resetFillColor NOTIFY FillColorChanged)
  Q_PROPERTY(QColor maxthreshcolor READ maxthreshcolor WRITE setmaxthreshcolor RESET resetmaxthreshcolor
                 NOTIFY maxthreshcolorChanged)
  Q_PROPERTY(int MinThreshold READ MinThreshold WRITE setMinThreshold RESET resetMinThreshold
                 NOTIFY MinThresholdChanged)
  Q_PROPERTY(int MaxThreshold READ MaxThreshold WRITE setMaxThreshold RESET resetMaxThreshold
                 NOTIFY MaxThresholdChanged)
  Q_PROPERTY(int Maxlimit READ Maxlimit WRITE setMaxlimit RESET resetMaxlimit NOTIFY MaxlimitChanged)
  Q_PROPERTY(QColor minthreshcolor READ minthreshcolor WRITE setminthreshcolor RESET resetminthreshcolor
                 NOTIFY minthreshcolorChanged)

 public:
  // Border of the bar holder: 0 none, 1 sunken.
  int BorderStyle() const { return readInt("BorderStyle"); }
  void setBorderStyle(int value) { writeInt("BorderStyle", value); }
  void resetBorderStyle() { resetToDefault("BorderStyle"); }

  // Border of the three band segments: 0 flat, 1 sunken.
  int Bar3D() const { return readInt("Bar3D"); }
  void setBar3D(int value) { writeInt("Bar3D", value); }
  void resetBar3D() { resetToDefault("Bar3D"); }

  // Shows or hides the box with the reading; its place stays reserved.
  bool CaptionVisible() const { return readBool("CaptionVisible"); }
  void setCaptionVisible(bool value) { writeBool("CaptionVisible", value); }
  void resetCaptionVisible() { resetToDefault("CaptionVisible"); }

  // Border of the box with the reading: 0 none, 1 sunken.
  int CaptionBorder() const { return readInt("CaptionBorder"); }
  void setCaptionBorder(int value) { writeInt("CaptionBorder", value); }
  void resetCaptionBorder() { resetToDefault("CaptionBorder"); }

  // Colour of the empty bar and of the box with the reading.
  QColor BackColor() const { return readColour("BackColor"); }
  void setBackColor(const QColor& value) { writeColour("BackColor", value); }
  void resetBackColor() { resetToDefault("BackColor"); }

  // Colour of the bar in the normal band.
  QColor FillColor() const { return readColour("FillColor"); }
  void setFillColor(const QColor& value) { writeColour("FillColor", value); }
  void resetFillColor() { resetToDefault("FillColor"); }

  // Colour of the bar for a reading above MaxThreshold.
  QColor maxthreshcolor() const { return readColour("maxthreshcolor"); }
  void setmaxthreshcolor(const QColor& value) { writeColour("maxthreshcolor", value); }
  void resetmaxthreshcolor() { resetToDefault("maxthreshcolor"); }

  // Readings up to and including this value are low.
  int MinThreshold() const { return readInt("MinThreshold"); }
  void setMinThreshold(int value) { writeInt("MinThreshold", value); }
  void resetMinThreshold() { resetToDefault("MinThreshold"); }

  // Readings above this value are high.
  int MaxThreshold() const { return readInt("MaxThreshold"); }
  void setMaxThreshold(int value) { writeInt("MaxThreshold", value); }
  void resetMaxThreshold() { resetToDefault("MaxThreshold"); }

  // The reading that fills the bar; 0 makes incbar fail with division-by-zero.
  int Maxlimit() const { return readInt("Maxlimit"); }
  void setMaxlimit(int value) { writeInt("Maxlimit", value); }
  void resetMaxlimit() { resetToDefault("Maxlimit"); }

  // Colour of the bar for a reading at or below MinThreshold.
  QColor minthreshcolor() const { return readColour("minthreshcolor"); }
  void setminthreshcolor(const QColor& value) { writeColour("minthreshcolor", value); }
  void resetminthreshcolor() { resetToDefault("minthreshcolor"); }

  // The last reading incbar showed, 0 before the first and after a resize that emptied the
  // bar; from 0 to Maxlimit.
  std::optional<Reading> reading() const override;

 public slots:
  // Shows `BarData` in the colour of its band and emits the band's signal; a negative
  // reading hides the three bands, shows its number and emits no signal. False, and
  // errorOccurred("incbar", ...), for a reading the control rejects: outside -32768 to 32767
  // (overflow), with Maxlimit 0 (division-by-zero), or above 0 with a negative Maxlimit
  // (invalid-property-value: the band would get a negative size).
  bool incbar(int BarData);

 signals:
  void BorderStyleChanged();
  void Bar3DChanged();
  void CaptionVisibleChanged();
  void CaptionBorderChanged();
  void BackColorChanged();
  void FillColorChanged();
  void maxthreshcolorChanged();
  void MinThresholdChanged();
  void MaxThresholdChanged();
  void MaxlimitChanged();
  void minthreshcolorChanged();
  // incbar showed a reading at or below MinThreshold.
  void minThreshReached();
  // incbar showed a reading above MaxThreshold.
  void maxThreshReached();
  // incbar showed a reading in the normal band.
  void normalOPs();

 protected:
  // Creates the control of class `className` through `registry` (the default one when null);
  // a control that cannot be created is reported ("Create") and every later call through
  // the widget reports it again.
  StatusBarWidget(const char* className, kyv::Registry* registry, QWidget* parent);

  void reapplyReadings() override;
  void forgetReadings() override;

 private:
  std::optional<int> last_;  // the last reading the control accepted
};

}  // namespace kyvqt
