#pragma once
// KyvvstatWidget: the vertical threshold status bar KyvVStatus.Kyvvstat as a typed Qt
// widget; its members are StatusBarWidget's.
//
//   kyvqt::KyvvstatWidget bar;
//   bar.setMaxlimit(200);
//   QObject::connect(&bar, &kyvqt::KyvvstatWidget::maxThreshReached, [] { qDebug() << "high"; });
//   bar.incbar(150);                     // false, and errorOccurred, when rejected
#include "kyv/qt/StatusBarWidget.h"

namespace kyvqt {

class KYVQT_API KyvvstatWidget : public StatusBarWidget {
  Q_OBJECT

 public:
  // The class of the control the widget hosts.
  static constexpr const char* kClassName = "KyvVStatus.Kyvvstat";

  // Creates the control through ControlWidget::defaultRegistry(); a control that cannot be
  // created is reported ("Create") and every later call through the widget reports it again.
  explicit KyvvstatWidget(QWidget* parent = nullptr);
  // The same through `registry`, which must outlive the widget (the default one when null).
  explicit KyvvstatWidget(kyv::Registry* registry, QWidget* parent = nullptr);
};

}  // namespace kyvqt
