#pragma once
// The command line of serving the dashboard over HTTP: where it listens, who may look, how
// many may, and how often the picture changes in the browsers.
#include <QCommandLineOption>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

class QCommandLineParser;

namespace kyvdash {

struct ServeOptions {
  bool serve = false;  // --serve was given
  QHostAddress address{QHostAddress::LocalHost};
  quint16 port = 0;              // 0: any free port (printed when serving)
  std::optional<QString> token;  // required of every request when set (--token, --token-file, KYVDASH_TOKEN)
  bool noToken = false;          // another address than loopback without a token, on purpose
  bool window = false;           // the window shows as well
  int maxViewers = 16;           // live pages at once; more are refused
  int fps = 30;                  // most frames a second a page is sent
  QStringList allowedHosts;      // names a request may address without a token, beyond this machine's
};

// Adds --serve, --token, --token-file, --no-token, --allow-host, --window, --max-viewers and
// --fps to `parser`.
void addServeOptions(QCommandLineParser& parser);

// Reads them into `serve`, the token from --token, from the first line of --token-file's
// file, or else from the environment's KYVDASH_TOKEN. Returns the problem of a wrong value
// or combination, or an empty string.
QString readServeOptions(const QCommandLineParser& parser, ServeOptions& serve);

// `token` as it may be printed: its first three characters and "...", never the whole.
QString maskedToken(const QString& token);

// Reads "[ADDRESS:]PORT" ("8080", "0.0.0.0:8080", "[::1]:8080", "localhost:8080").
bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port);

}  // namespace kyvdash
