#pragma once
// The dashboard's window: the screen centred (scrolled when larger than the window), and a
// status line with the latest report. In kiosk mode it fills the screen, hides the pointer
// and shows no status line.
#include <QMainWindow>
#include <QScrollArea>

#include "Runner.h"

namespace kyvdash {

class DashboardWindow : public QMainWindow {
  Q_OBJECT

 public:
  // The most frames a second the window is painted at.
  static constexpr int kFramesPerSecond = 30;

  DashboardWindow(Runner& runner, QString layoutPath, bool kiosk, QWidget* parent = nullptr);
  // Shows the window full screen over `screen`, every device pixel of it (the screen's
  // scale fits the dashboard to it, so a pixel of rounding never calls for scroll bars),
  // also without a window manager.
  void fillScreen(QScreen* screen);
  // From now on a resize scales the dashboard to fit the window, as full screen does.
  void scaleOnResize() { scaleOnResize_ = true; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void place(Dashboard* dashboard);
  void fit();
  QScrollArea* area_;
  QString layoutPath_;
  bool scaleOnResize_ = false;
};

// A dark application palette on the Fusion style. The controls' own colours are theirs.
void applyDarkPalette();

}  // namespace kyvdash
