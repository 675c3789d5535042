#pragma once
// The command line of serving the dashboard over HTTP: where it listens, who may look, how
// many may, and how often the picture changes in the browsers.
#include <QCommandLineOption>
#include <QHostAddress>
#include <QString>
#include <optional>

class QCommandLineParser;

namespace kyvdash {

struct ServeOptions {
  bool serve = false;  // --serve was given
  QHostAddress address{QHostAddress::LocalHost};
  quint16 port = 0;              // 0: any free port (printed when serving)
  std::optional<QString> token;  // required of every request when set
  bool noToken = false;          // another address than loopback without a token, on purpose
  bool window = false;           // the window shows as well
  int maxViewers = 16;           // live pages at once; more are refused
  int fps = 30;                  // most frames a second a page is sent
};

// Adds --serve, --token, --no-token, --window, --max-viewers and --fps to `parser`.
void addServeOptions(QCommandLineParser& parser);

// Reads them into `serve`. Returns the problem of a wrong value or combination, or an
// empty string.
QString readServeOptions(const QCommandLineParser& parser, ServeOptions& serve);

// Reads "[ADDRESS:]PORT" ("8080", "0.0.0.0:8080", "[::1]:8080", "localhost:8080").
bool parseListenAddress(const QString& text, QHostAddress& address, quint16& port);

}  // namespace kyvdash
