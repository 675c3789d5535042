#include "help.h"

#include <algorithm>
#include <string>

#include "host.h"
#include "kyv/registry.h"

namespace kyvhost {
namespace {

// The column where each command's description starts.
constexpr size_t kDoesColumn = 33;

}  // namespace

void printHelp(std::ostream& out) {
  out << "usage: kyvhost [--tpp N] [--registry FILE] [SCRIPT ...]\n"
         "       kyvhost --help | --version\n"
         "\n"
         "Runs kyvhost scripts: each SCRIPT in turn, or standard input when none is given or\n"
         "SCRIPT is \"-\". One command a line. MEMBER is a member name in any case or a dispatch\n"
         "id (#0x68030001); VALUE is an integer (decimal or 0x hex), a number, True, False or a\n"
         "\"quoted string\"; W and H are twips; X and Y are pixels from the picture's top-left\n"
         "corner.\n"
         "\n"
         "options:\n"
         "  --tpp N          twips per pixel for render and pixel (default 15; 7.5 renders at\n"
         "                   200 %)\n"
         "  --registry FILE  the registration file that maps class names to control libraries\n"
         "                   (default: "
      << kyv::Registry::defaultRegistrationFile()
      << ")\n"
         "  --help           print this help and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "commands:\n";
  for (const Host::Command& c : Host::commands()) {
    std::string usage = "  " + c.usage();
    usage.resize(std::max<size_t>(usage.size() + 1, kDoesColumn), ' ');
    out << usage << c.does << '\n';
  }
  out << "\n"
         "exit status: 0 when every line was understood, 1 when a line was not, 2 when a\n"
         "script cannot be read. The language and its output: docs/kyvhost.md.\n";
}

}  // namespace kyvhost
