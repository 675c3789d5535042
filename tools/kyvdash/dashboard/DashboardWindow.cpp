#include "DashboardWindow.h"

#include <qpa/qplatformscreen.h>
#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTimer>
#include <cmath>

#include "FrameLimiter.h"
#include "ScreenScale.h"

namespace kyvdash {

DashboardWindow::DashboardWindow(Runner& runner, QString layoutPath, bool kiosk, QWidget* parent)
    : QMainWindow(parent), area_(new QScrollArea(this)), layoutPath_(std::move(layoutPath)) {
  area_->setAlignment(Qt::AlignCenter);
  area_->setFrameShape(QFrame::NoFrame);
  setCentralWidget(area_);
  new FrameLimiter(*this, kFramesPerSecond);
  if (kiosk) {
    statusBar()->hide();
    setCursor(Qt::BlankCursor);
  }
  connect(&runner, &Runner::dashboardReplaced, this, &DashboardWindow::place);
  connect(&runner, &Runner::report, this, [this](const QString& line) { statusBar()->showMessage(line, 30'000); });
  place(runner.dashboard());
}

void DashboardWindow::fillScreen(QScreen* screen) {
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Without a window manager nobody else makes it so. The screen's size in logical pixels
  // is rounded to whole ones, which at a scale such as 2.25 come a pixel short of the
  // screen: the window takes enough of them to cover all its device pixels.
  const QSizeF device = screen->handle()->geometry().size();
  const qreal ratio = screen->devicePixelRatio();
  setGeometry(QRect(screen->geometry().topLeft(),
                    QSize(int(std::ceil(device.width() / ratio)), int(std::ceil(device.height() / ratio)))));
  showFullScreen();
}

void DashboardWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (scaleOnResize_) QTimer::singleShot(0, this, &DashboardWindow::fit);  // once the new size has settled
}

// The scale at which the dashboard fits the room the window gives it, in device pixels (which
// a change of scale leaves as they are, so that a second look finds the same scale).
void DashboardWindow::fit() {
  auto* d = qobject_cast<Dashboard*>(area_->widget());
  if (!d || !screen()) return;
  const qreal now = devicePixelRatioF() / screen()->handle()->devicePixelRatio();
  const QSize room = area_->size() * devicePixelRatioF();
  const double factor = fitFactor(d->sizeHint(), room);
  if (std::abs(factor - now) < 0.01 * now) return;
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setScreenScale(screen(), factor);
}

void DashboardWindow::place(Dashboard* d) {
  area_->takeWidget();  // the runner deletes the old screen
  if (!d) return;
  area_->setWidget(d);
  if (scaleOnResize_) QTimer::singleShot(0, this, &DashboardWindow::fit);  // a screen of another size fits again
  // Whatever of the window the screen does not cover (the bands of a layout of another
  // aspect than the window's) shows the screen's background.
  QPalette around = area_->palette();
  around.setColor(QPalette::Window, d->palette().color(QPalette::Window));
  area_->setPalette(around);
  area_->setBackgroundRole(QPalette::Window);
  const QString title = d->layout().title.isEmpty() ? QFileInfo(layoutPath_).fileName() : d->layout().title;
  setWindowTitle(title + QStringLiteral(" - kyvdash"));
  // The window takes the screen's size and its status line.
  if (isFullScreen()) return;
  resize(d->sizeHint() + QSize(0, statusBar()->isHidden() ? 0 : statusBar()->sizeHint().height()));
}

void applyDarkPalette() {
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QPalette p;
  const QColor window(45, 45, 48), base(30, 30, 32), text(220, 220, 220), disabled(128, 128, 128);
  p.setColor(QPalette::Window, window);
  p.setColor(QPalette::WindowText, text);
  p.setColor(QPalette::Base, base);
  p.setColor(QPalette::AlternateBase, window);
  p.setColor(QPalette::ToolTipBase, base);
  p.setColor(QPalette::ToolTipText, text);
  p.setColor(QPalette::Text, text);
  p.setColor(QPalette::Button, window);
  p.setColor(QPalette::ButtonText, text);
  p.setColor(QPalette::BrightText, Qt::red);
  p.setColor(QPalette::Highlight, QColor(42, 130, 218));
  p.setColor(QPalette::HighlightedText, Qt::black);
  p.setColor(QPalette::Link, QColor(42, 130, 218));
  p.setColor(QPalette::Light, QColor(70, 70, 74));
  p.setColor(QPalette::Midlight, QColor(60, 60, 64));
  p.setColor(QPalette::Mid, QColor(40, 40, 42));
  p.setColor(QPalette::Dark, QColor(25, 25, 27));
  p.setColor(QPalette::Shadow, Qt::black);
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    p.setColor(QPalette::Disabled, role, disabled);
  QApplication::setPalette(p);
}

}  // namespace kyvdash
