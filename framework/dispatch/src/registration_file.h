#pragma once
// Reading a registration file: the classes it lists and the libraries that provide them.
// Library paths may be written relative to the file's own folder, so a prefix that holds
// the file and the libraries can be moved as a whole.
#include <string>
#include <string_view>
#include <vector>

#include "kyv/registry.h"

namespace kyv::registration {

// Every class of `file`, sorted by name, each library path resolved. Raises
// cannot-create-object whose message says what is wrong ("the registration file F does
// not exist", "... cannot be read: REASON", "... is corrupt: REASON").
std::vector<RegisteredClass> read(const std::string& file);

// `library` as the registration file `file` records it: relative to the file's folder.
std::string relativeLibraryPath(const std::string& file, const std::string& library);

// The registered names nearest to `name` (any case; a name without its library part is
// matched against the class part alone), in the order of `classes`; empty when none is
// close.
std::vector<std::string> nearestNames(std::string_view name, const std::vector<RegisteredClass>& classes);

}  // namespace kyv::registration
