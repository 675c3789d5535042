#pragma once
// The main window's reference layout in twips: six panels filling a client area of
// 10395 x 7620 twips, and every element of each panel at its rectangle relative to the
// panel. The window shows it at 15 twips per logical pixel.
#include <QRect>
#include <span>
#include <string_view>

namespace kyvdemo {

inline constexpr int kClientWidth = 10395;
inline constexpr int kClientHeight = 7620;

enum class Kind { Control, CheckBox, Button, TextBox, Label, ComboBox };

struct PanelRow {
  const char* name;
  const char* title;  // as the status line names the panel
  int left, top, width, height;
};

struct ElementRow {
  const char* panel;
  const char* name;  // "Command2(5)" for a member of a control array
  Kind kind;
  const char* text;  // caption or initial text; empty for hosted controls
  int left, top, width, height;
  bool checked = false;
};

std::span<const PanelRow> panels();
std::span<const ElementRow> elements();
// The panel that holds element `name` ("Command2(7)"); null when there is none.
const PanelRow* panelOf(std::string_view name);

// A rectangle in twips as logical pixels; edges round to the nearest pixel.
QRect pixels(int left, int top, int width, int height);

}  // namespace kyvdemo
