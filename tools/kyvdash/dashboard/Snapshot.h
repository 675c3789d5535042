#pragma once
// Pictures of a dashboard written to a file atomically: into a temporary file beside it,
// then renamed over it, so that a reader (a web page, a wall display) never sees half a
// picture. PNG is the dashboard as it shows on screen; SVG is composed of each control's
// own vector drawing by the framework's renderer, with the labels and stale marks.
#include <QByteArray>
#include <QSize>
#include <QString>

namespace kyvdash {

class Dashboard;

// The dashboard as an SVG document; with a `canvas` size, a picture of that size that fits
// and centres the dashboard.
QByteArray dashboardSvg(Dashboard& dashboard, QSize canvas = {});

// Writes the dashboard to `path`, PNG or SVG after its extension; with a `canvas` size, a
// picture of that size with the dashboard centred on its background (drawn at the screen's
// scale, see ScreenScale.h). Returns false, with the reason in `error`, when it cannot; the
// file then keeps what it held.
bool writeSnapshot(Dashboard& dashboard, const QString& path, QString* error, QSize canvas = {});

}  // namespace kyvdash
