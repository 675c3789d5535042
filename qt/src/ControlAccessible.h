#pragma once
// The accessible interface of every ControlWidget: its name, a role that fits its control
// and, for the status bars and the digits, the reading as a value.
namespace kyvqt {

// Installs the QAccessible factory for ControlWidget and its subclasses; later calls do
// nothing.
void installAccessibleFactory();

}  // namespace kyvqt
