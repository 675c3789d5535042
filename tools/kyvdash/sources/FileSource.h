#pragma once
// A followed file: a log of `NAME VALUE` or JSON lines, or a CSV file with a header line,
// read as it grows. It survives rotation (the file renamed or removed and a new one
// created: the rest of the old file is read, then the new one from its start) and
// truncation (read again from the start). At first it reads only the last 64 KiB, so that
// a long history gives the latest values at once.
#include <sys/types.h>
#include <QFileSystemWatcher>
#include <QTimer>

#include "Source.h"
#include "SourceKind.h"

namespace kyvdash {

class FileSource : public LineSource {
  Q_OBJECT

 public:
  FileSource(QString name, QString path, QObject* parent = nullptr);
  ~FileSource() override;
  // How often the file is looked at when no change notice came (1 s by default).
  void setPoll(std::chrono::milliseconds interval) { poll_.setInterval(interval); }
  void start() override;

 private:
  void look();
  // Opens the file at its start or its last 64 KiB; the reason when it cannot.
  QString open(bool fromStart);
  void close();
  void readHeader();
  void readOn();
  void watch();

  QString path_;
  int fd_ = -1;
  dev_t dev_ = 0;
  ino_t ino_ = 0;
  qint64 offset_ = 0;
  bool opened_ = false;       // the file was open once: later files are read from their start
  bool skipPartial_ = false;  // the first bytes read belong to a line begun before them
  bool retryPending_ = false;
  QTimer poll_;
  QFileSystemWatcher watcher_;
};

// A file source as a layout gives it.
struct FileSettings final : SourceSettings {
  QString path;
  bool csv = false;        // a CSV with a header line; else NAME VALUE or JSON lines
  QChar separator = u',';  // the CSV's column separator
  double poll = 1;         // seconds between two looks when nothing told of a change
  std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const override;
};

}  // namespace kyvdash
