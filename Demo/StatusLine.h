#pragma once
// StatusLine: the main window's status line. Errors are reported per panel; a panel's
// error stands until that panel next runs cleanly. The line shows the standing error that
// came first last, as "12:00:09  Heartbeat: Timer4: KIND (37 times): MESSAGE"; text wider
// than the line is elided, and the whole of it, with every other standing error, is in the
// tooltip. A repeat (the same step failing with the same kind while its error stands) is
// counted on its first report and never takes the line from a newer error of another
// panel. The "Recent errors" button beside it lists the last errors, newest first, with
// their times and repeat counts; those that no longer stand are greyed.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QToolButton;

namespace kyvdemo {

class StatusLine : public QWidget {
  Q_OBJECT

 public:
  // One error as the list shows it.
  struct Report {
    QString panel;    // "Heartbeat", or "Form" for the window's own steps
    QString where;    // the handler or step: "Timer4", "HeartBeat1.Paint"
    QString kind;     // "overflow", ...
    QString message;  // the latest message
    QString hint;     // what the user can do about it, when the form knows
    QDateTime first, last;
    int count = 1;
    bool standing = true;
    quint64 order = 0;  // of first reports, for "the newest"
  };

  // The most reports the list keeps.
  static constexpr int kRecent = 20;

  explicit StatusLine(QWidget* parent = nullptr);
  ~StatusLine() override;

  void report(const QString& panel, const QString& where, const QString& kind, const QString& message,
              const QString& hint = {});
  // The panel ran cleanly: its error no longer stands.
  void clear(const QString& panel);

  // The error the line shows, as "WHERE: KIND: MESSAGE"; empty when none stands.
  QString currentError() const;
  // The list behind the button, newest first.
  QList<Report> recent() const;
  // Opens the list under the button, as a click does.
  void showRecent();

 private:
  void refresh();
  // The text of one report as the line gives it, and (`since`) as its tooltip does.
  static QString lineText(const Report& r, bool since);

  QLabel* line_;
  QToolButton* button_;
  QList<std::shared_ptr<Report>> recent_;    // newest first
  QList<std::shared_ptr<Report>> standing_;  // at most one a panel
  quint64 reports_ = 0;
};

}  // namespace kyvdemo
