#include "ServeOptions.h"

#include <QCommandLineParser>
#include <QFile>

namespace kyvdash {
namespace {

const QString kServe = QStringLiteral("serve");
const QString kToken = QStringLiteral("token");
const QString kTokenFile = QStringLiteral("token-file");
const QString kNoToken = QStringLiteral("no-token");
const QString kAllowHost = QStringLiteral("allow-host");
const QString kWindow = QStringLiteral("window");
const QString kMaxViewers = QStringLiteral("max-viewers");
const QString kFps = QStringLiteral("fps");

std::optional<int> whole(const QString& text, int low, int high) {
  bool ok = false;
  const int n = text.toInt(&ok);
  if (!ok || n < low || n > high) return std::nullopt;
  return n;
}

// The token from the options or the environment: nullopt when none is given, with the
// problem in `problem` when one cannot be read.
std::optional<QString> readToken(const QCommandLineParser& p, QString& problem) {
  if (p.isSet(kToken) && p.isSet(kTokenFile)) {
    problem = QStringLiteral("--token and --token-file exclude each other");
    return std::nullopt;
  }
  if (p.isSet(kToken)) return p.value(kToken);
  if (p.isSet(kTokenFile)) {
    QFile file(p.value(kTokenFile));
    if (!file.open(QIODevice::ReadOnly)) {
      problem = QStringLiteral("--token-file: cannot read %1: %2").arg(file.fileName(), file.errorString());
      return std::nullopt;
    }
    return QString::fromUtf8(file.read(4096).split('\n').front()).trimmed();
  }
  if (p.isSet(kNoToken) || !qEnvironmentVariableIsSet("KYVDASH_TOKEN")) return std::nullopt;
  return qEnvironmentVariable("KYVDASH_TOKEN");
}

}  // namespace

QString maskedToken(const QString& token) { return token.left(3) + QStringLiteral("..."); }

bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port) {
  const qsizetype colon = text.lastIndexOf(u':');
  QString host = colon < 0 ? QString() : text.left(colon);
  bool ok = false;
  const uint p = text.mid(colon + 1).toUInt(&ok);
  if (!ok || p > 65535) return false;
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.mid(1, host.size() - 2);
  if (host.isEmpty() || host == QLatin1String("localhost"))
    address = QHostAddress(QHostAddress::LocalHost);
  else if (!address.setAddress(host))
    return false;
  port = static_cast<quint16>(p);
  return true;
}

void addServeOptions(QCommandLineParser& p) {
  p.addOptions({
      {kServe,
       QStringLiteral("Serve the dashboard live over HTTP at [<address>:]<port> (127.0.0.1 unless an address is "
                      "given; port 0 picks a free one). Runs headless unless --window is given."),
       QStringLiteral("[address:]port")},
      {kToken,
       QStringLiteral("With --serve: every request must carry <token> (Authorization: Bearer, or ?token= in the "
                      "page's address). Required on any address other than loopback, unless --no-token."),
       QStringLiteral("token")},
      {kTokenFile,
       QStringLiteral("With --serve: the token is the first line of <file> (kept out of the process list). "
                      "Without --token or --token-file, the environment's KYVDASH_TOKEN gives it."),
       QStringLiteral("file")},
      {kNoToken, QStringLiteral("With --serve on an address other than loopback: serve to anyone who can reach it.")},
      {kAllowHost,
       QStringLiteral("With --serve without a token: answer requests addressed to <name> too, beyond this "
                      "machine's own names (a name a reverse proxy or DNS gives it). May be repeated."),
       QStringLiteral("name")},
      {kWindow, QStringLiteral("With --serve: show the window as well.")},
      {kMaxViewers, QStringLiteral("With --serve: most live pages at once (default 16); more are refused."),
       QStringLiteral("n")},
      {kFps, QStringLiteral("With --serve: most frames a second sent to a page (default 30)."), QStringLiteral("n")},
  });
}

QString readServeOptions(const QCommandLineParser& p, ServeOptions& s) {
  s.serve = p.isSet(kServe);
  const bool anyOther = p.isSet(kToken) || p.isSet(kTokenFile) || p.isSet(kNoToken) || p.isSet(kAllowHost) ||
                        p.isSet(kWindow) || p.isSet(kMaxViewers) || p.isSet(kFps);
  if (!s.serve)
    return anyOther ? QStringLiteral(
                          "--token, --token-file, --no-token, --allow-host, --window, --max-viewers and --fps go with "
                          "--serve")
                    : QString();
  if (!parseListenAddress(p.value(kServe), s.address, s.port))
    return QStringLiteral("--serve takes [address:]port, such as 8080 or 0.0.0.0:8080");
  QString problem;
  s.token = readToken(p, problem);
  if (!problem.isEmpty()) return problem;
  if (s.token && (s.token->size() < 8 || s.token->contains(u' ')))
    return QStringLiteral("the token takes at least 8 characters and no spaces");
  s.noToken = p.isSet(kNoToken);
  if (s.noToken && (p.isSet(kToken) || p.isSet(kTokenFile)))
    return QStringLiteral("--token and --token-file exclude --no-token");
  for (const QString& name : p.values(kAllowHost)) s.allowedHosts << name.trimmed().toLower();
  if (!s.address.isLoopback() && !s.token && !s.noToken)
    return QStringLiteral("serving on %1 asks for --token TOKEN, or --no-token to serve to anyone who reaches it")
        .arg(s.address.toString());
  s.window = p.isSet(kWindow);
  if (p.isSet(kMaxViewers)) {
    const std::optional<int> n = whole(p.value(kMaxViewers), 1, 1000);
    if (!n) return QStringLiteral("--max-viewers takes 1 to 1000");
    s.maxViewers = *n;
  }
  if (p.isSet(kFps)) {
    const std::optional<int> n = whole(p.value(kFps), 1, 60);
    if (!n) return QStringLiteral("--fps takes 1 to 60");
    s.fps = *n;
  }
  return {};
}

}  // namespace kyvdash
