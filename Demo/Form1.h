#pragma once
// Form1, the main window "Kyv Demonstration": six panels, each hosting one control
// created by class name and restored from the form document built into the program,
// with Start and Stop buttons that feed it from a timer and buttons and boxes that change
// its colours and options. A handler that meets an error ends at that step (what it did
// before stays done) and reports the error, with its panel and time, in the status line
// (see StatusLine); the program goes on. A panel's error stands until one of the panel's
// handlers next runs without error. The window keeps its designed size.
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

#include "Services.h"
#include "StatusLine.h"
#include "kyv/bag.h"
#include "kyv/qt/ControlWidget.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kyvdemo {

class AboutBox;

class Form1 : public QMainWindow {
  Q_OBJECT

 public:
  // What a test may replace; anything left empty takes the real one.
  struct Services {
    std::unique_ptr<ColourPicker> colours;
    std::unique_ptr<RandomSource> random;
    std::optional<kyv::FormDocument> document;
  };

  explicit Form1(Services services = {}, QWidget* parent = nullptr);
  ~Form1() override;

  // The form document built into the program: the stored properties of the six controls.
  static kyv::FormDocument storedDocument();

  // Presses every Start button, in index order.
  void startAll();
  // The feed timers, Timer1 to Timer6.
  QList<QTimer*> feedTimers() const;
  // The error the status line shows, as "HANDLER: KIND: MESSAGE" ("Timer1: division-by-zero:
  // Division by zero"), or empty when no panel's error stands.
  QString statusText() const;
  // The errors reported lately, newest first, standing or not.
  QList<StatusLine::Report> recentErrors() const;
  // Every error reported since the window was made, repeats included.
  int errorsReported() const;
  int16_t verticalCounter() const { return verticalCounter_; }
  int16_t horizontalCounter() const { return horizontalCounter_; }

 private:
  void build();
  void createControls(const kyv::FormDocument& document);
  void connectHandlers();
  void Form_Load();
  void Command2_Click(int index);
  void colourClick(kyvqt::ControlWidget* control, const char* property);
  void optionClick(kyvqt::ControlWidget* control, const char* property, int state, bool boolean, bool greyIsOn);
  void Timer1_Timer();
  void Timer2_Timer();
  void Timer3_Timer();
  void Timer4_Timer();
  void Timer5_Timer();
  void Timer6_Timer();
  void Kyvvstat1_MaxThreshReached();
  void Hstat1_MaxThreshReached();
  void Command8_Click();
  void abmenu_Click();

  // Runs one handler of `panel` (the title of a panel, or "Form"); an error ends it there
  // and goes to the status line. A run of a panel's handler that reports no error, and
  // runs inside no other run of the same panel, clears the panel's standing error.
  template <class Steps>
  void handle(const QString& handler, const QString& panel, Steps&& steps);
  void showError(const QString& panel, const QString& where, const QString& kind, const QString& message);

  template <class T>
  T* element(const QString& name) const;
  kyvqt::ControlWidget* control(const char* name) const;
  QLineEdit* box(const QString& name) const;

  std::unique_ptr<ColourPicker> colours_;
  std::unique_ptr<RandomSource> random_;
  QHash<QString, QWidget*> elements_;
  QHash<QString, QTimer*> timers_;
  StatusLine* statusLine_ = nullptr;
  QHash<QString, int> running_;   // handlers of each panel running now
  QHash<QString, int> reported_;  // errors reported for each panel so far
  QPointer<AboutBox> frmAbout_;
  int16_t verticalCounter_ = 0;
  int16_t horizontalCounter_ = 0;
};

}  // namespace kyvdemo
