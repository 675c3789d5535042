#include "FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "SourceKind.h"

namespace kyvdash {
namespace {

constexpr qint64 kTail = 64 * 1024;     // read of a file's history when first opened
constexpr qint64 kChunk = 1024 * 1024;  // read in one go before the event loop runs again

QString why() { return QString::fromLocal8Bit(std::strerror(errno)); }

}  // namespace

FileSource::FileSource(QString name, QString path, QObject* parent)
    : LineSource(std::move(name), parent), path_(std::move(path)) {
  poll_.setInterval(1000);
  connect(&poll_, &QTimer::timeout, this, &FileSource::look);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FileSource::look);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &FileSource::look);
}

FileSource::~FileSource() { close(); }

void FileSource::start() {
  const QString dir = QFileInfo(path_).absolutePath();
  if (QFileInfo(dir).isDir()) watcher_.addPath(dir);
  poll_.start();
  look();
}

void FileSource::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// The file is watched by path: after a rotation the watch moves to the new file.
void FileSource::watch() {
  watcher_.removePath(path_);
  watcher_.addPath(path_);
}

QString FileSource::open(bool fromStart) {
  fd_ = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return why();
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    const QString reason = S_ISREG(st.st_mode) ? why() : QStringLiteral("not a regular file");
    close();
    return reason;
  }
  dev_ = st.st_dev;
  ino_ = st.st_ino;
  newStream();
  offset_ = fromStart ? 0 : std::max<qint64>(0, st.st_size - kTail);
  skipPartial_ = offset_ > 0;
  if (csv() && offset_ > 0) readHeader();
  opened_ = true;
  watch();
  return {};
}

// A CSV file read from the middle still needs its first line, the header.
void FileSource::readHeader() {
  char buffer[4096];
  QByteArray header;
  for (qint64 at = 0; header.size() < kTail;) {
    const ssize_t n = ::pread(fd_, buffer, sizeof buffer, at);
    if (n <= 0) return;
    const qsizetype nl = QByteArrayView(buffer, n).indexOf('\n');
    header.append(buffer, nl < 0 ? n : nl + 1);
    if (nl >= 0) break;
    at += n;
  }
  if (header.endsWith('\n')) takeBytes(header);
}

void FileSource::readOn() {
  char buffer[65536];
  for (qint64 done = 0; done < kChunk;) {
    const ssize_t n = ::pread(fd_, buffer, sizeof buffer, offset_);
    if (n <= 0) return;
    offset_ += n;
    done += n;
    QByteArrayView bytes(buffer, n);
    if (skipPartial_) {
      const qsizetype nl = bytes.indexOf('\n');
      if (nl < 0) continue;
      bytes = bytes.sliced(nl + 1);
      skipPartial_ = false;
    }
    takeBytes(bytes);
  }
  QTimer::singleShot(0, this, &FileSource::look);  // more is there: go on after other work
}

void FileSource::look() {
  if (fd_ >= 0) readOn();
  struct stat st {};
  const bool exists = ::stat(QFile::encodeName(path_).constData(), &st) == 0;
  if (fd_ >= 0) {
    if (!exists) return;  // rotated away; the new file is not there yet
    if (st.st_dev != dev_ || st.st_ino != ino_) {
      close();  // what the old file held is read: the new one begins
    } else {
      if (st.st_size < offset_) {  // truncated in place
        offset_ = 0;
        skipPartial_ = false;
        newStream();
        readOn();
      }
      return;
    }
  }
  if (!exists && retryPending_) return;
  if (const QString problem = open(opened_); !problem.isEmpty()) {
    if (retryPending_) return;
    retryPending_ = true;
    fail(QStringLiteral("cannot open %1: %2").arg(path_, exists ? problem : QStringLiteral("no such file")), [this] {
      retryPending_ = false;
      look();
    });
    return;
  }
  succeed();
  readOn();
}

std::unique_ptr<Source> FileSettings::make(const QString& name, const SourceNeeds&) const {
  auto f = std::make_unique<FileSource>(name, path);
  if (csv) f->setCsv(separator);
  f->setPoll(fromSeconds(poll));
  return f;
}

SourceKind fileSourceKind() {
  return {QStringLiteral("file"), [](const nlohmann::json& j, const FieldReader& p) {
            auto s = std::make_unique<FileSettings>();
            p.unknownMembers(j, {}, {"type", "path", "format", "separator", "poll"});
            s->path = p.string(j, "path", QStringLiteral("path"), true).value_or(QString());
            const QString format =
                p.string(j, "format", QStringLiteral("format"), false)
                    .value_or(s->path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive) ? QStringLiteral("csv")
                                                                                           : QStringLiteral("lines"));
            if (format != QLatin1String("csv") && format != QLatin1String("lines"))
              p.add(QStringLiteral("format"), QStringLiteral("must be \"csv\" or \"lines\""));
            s->csv = format == QLatin1String("csv");
            if (std::optional<QString> sep = p.string(j, "separator", QStringLiteral("separator"), false)) {
              if (sep->size() != 1)
                p.add(QStringLiteral("separator"), QStringLiteral("must be one character"));
              else
                s->separator = sep->front();
            }
            s->poll = p.number(j, "poll", QStringLiteral("poll"), 0.05, 3600).value_or(s->poll);
            return s;
          }};
}

}  // namespace kyvdash
