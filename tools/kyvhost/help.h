#pragma once
// kyvhost's --help text: usage, options, commands and exit status.
#include <ostream>

namespace kyvhost {

void printHelp(std::ostream& out);

}  // namespace kyvhost
