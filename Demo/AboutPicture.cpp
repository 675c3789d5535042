// The about box's picture: a small monitoring screen made of the family's own controls,
// each created by class name, fed a few values and drawn by the framework's renderer.
#include <QPainter>
#include <functional>

#include "AboutBox.h"
#include "kyv/error.h"
#include "kyv/qt/ControlWidget.h"
#include "kyv/registry.h"

namespace kyvdemo {
namespace {

using kyv::Variant;

struct Piece {
  const char* className;
  QRect rect;  // in pixels of the picture
  std::function<void(kyv::Control&)> feed;
};

void call(kyv::Control& c, const char* method, int value) {
  Variant arg(static_cast<int16_t>(value));
  c.call(method, arg);
}

// A heartbeat: a flat line with a spike every twelve points.
void pulse(kyv::Control& c) {
  c.put("BackColor", kyv::Colour{0});
  c.put("HorizCount", int16_t(48));
  c.put("MaxLimit", int16_t(10));
  c.Resize();
  const int beat[] = {4, 4, 4, 5, 4, 4, 3, 10, 0, 4, 5, 4};
  for (int i = 0; i < 48; ++i) call(c, "Plot", beat[i % 12]);
}

void levels(kyv::Control& c) {
  c.put("BackColor", kyv::Colour{0});
  c.put("MaxLimit", int16_t(10));
  c.put("Columns", int16_t(6));
  c.put("BarColor", kyv::Colour{0xFFFF00});
  const int values[] = {3, 7, 5, 9, 4, 6};
  for (int column = 0; column < 6; ++column) {
    call(c, "Column", column);
    call(c, "Value", values[column]);
  }
}

const Piece kPieces[] = {
    {"Kyv4Digit.fourseg", QRect(4, 4, 120, 40), [](kyv::Control& c) { call(c, "send", 100); }},
    {"KyvMultiBars.KyvMultiBar", QRect(128, 4, 56, 40), levels},
    {"KyvVStatus.Kyvvstat", QRect(190, 4, 19, 134), [](kyv::Control& c) { call(c, "incbar", 70); }},
    {"KyvHStatus.Hstat", QRect(4, 48, 180, 20), [](kyv::Control& c) { call(c, "incbar", 30); }},
    {"KyvPulse.HeartBeat", QRect(4, 72, 180, 66), pulse},
};

}  // namespace

QImage aboutPicture(kyv::Registry& registry) {
  QImage picture(213, 142, QImage::Format_RGB888);
  picture.fill(QColor(0x1E, 0x2A, 0x36));
  QPainter painter(&picture);
  for (const Piece& piece : kPieces) {
    try {
      kyv::ControlPtr control = registry.create(piece.className);
      control->InitProperties();
      control->setExtent(static_cast<float>(piece.rect.width() * kyvqt::kTwipsPerPixel),
                         static_cast<float>(piece.rect.height() * kyvqt::kTwipsPerPixel));
      piece.feed(*control);
      painter.drawImage(piece.rect.topLeft(), kyvqt::renderImage(*control));
    } catch (const kyv::Error&) {
      // A control that is not installed leaves its place in the picture empty.
    }
  }
  return picture;
}

}  // namespace kyvdemo
