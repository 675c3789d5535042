#include "help.h"

#include "kyv/registry.h"

namespace kyvhost {

void printHelp(std::ostream& out) {
  out << "usage: kyvhost [--tpp N] [--registry FILE] [SCRIPT ...]\n"
         "       kyvhost --help | --version\n"
         "\n"
         "Runs kyvhost scripts: each SCRIPT in turn, or standard input when none is given or\n"
         "SCRIPT is \"-\". One command a line. MEMBER is a member name in any case or a dispatch\n"
         "id (#0x68030001); VALUE is an integer (decimal or 0x hex), a number, True, False or a\n"
         "\"quoted string\"; W and H are twips.\n"
         "\n"
         "options:\n"
         "  --tpp N          twips per pixel for render (default 15; 7.5 renders at 200 %)\n"
         "  --registry FILE  the registration file that maps class names to control libraries\n"
         "                   (default: "
      << kyv::Registry::defaultRegistrationFile()
      << ")\n"
         "  --help           print this help and exit\n"
         "  --version        print the version and exit\n"
         "\n"
         "commands:\n"
         "  new NAME CLASS [W H]           create a control (InitProperties, then Resize)\n"
         "  restore NAME CLASS FILE [W H]  create a control from a saved bag (ReadProperties)\n"
         "  set NAME MEMBER VALUE          write a property\n"
         "  get NAME MEMBER                read a property\n"
         "  call NAME MEMBER [VALUE]       call a method, the argument passed by reference\n"
         "  resize NAME W H                set the extent and fire Resize\n"
         "  save NAME FILE                 write the property bag to FILE as JSON\n"
         "  bag NAME                       print the property bag\n"
         "  dump NAME [PATH]               print the state of the elements (or of one)\n"
         "  members CLASS                  print a class's members and events\n"
         "  on NAME EVENT COMMAND...       run COMMAND whenever NAME raises EVENT\n"
         "  render NAME FILE               draw the control into a .png, .svg or .pdf file\n"
         "  free NAME                      destroy the instance\n"
         "  libraries                      list the control libraries loaded now\n"
         "  classes                        list the classes of the registration file\n"
         "\n"
         "exit status: 0 when every line was understood, 1 when a line was not, 2 when a\n"
         "script cannot be read. The language and its output: docs/kyvhost.md.\n";
}

}  // namespace kyvhost
