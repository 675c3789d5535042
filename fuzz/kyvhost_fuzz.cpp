// Fuzz target: kyvhost's command language, files included. Each input is a script run
// against the build's registered controls in a new temporary folder, the only place its
// restore, save and render commands may name (plain file names). The script ends at the
// first line reading "#file NAME"; the lines from there to the next such line become the
// file NAME in that folder before the script runs, so that an input brings the bags it
// restores. The host must survive every input; the folder is removed afterwards. With
// KYV_FUZZ_OUTPUT set, the host's output goes to standard error.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "host.h"
#include "registered.h"

namespace {

constexpr std::string_view kFileMark = "#file ";

// Where the first "#file NAME" line of `input` starts (its size when there is none).
size_t filesStart(std::string_view input) {
  if (input.substr(0, kFileMark.size()) == kFileMark) return 0;
  const size_t at = input.find(std::string("\n") + std::string(kFileMark));
  return at == std::string_view::npos ? input.size() : at + 1;
}

// Writes the "#file NAME" sections of `files` into `folder`.
void writeFiles(std::string_view files, const std::string& folder) {
  std::ofstream file;
  while (!files.empty()) {
    const size_t end = files.find('\n');
    const std::string_view line = files.substr(0, end);
    if (line.substr(0, kFileMark.size()) == kFileMark) {
      const std::string name(line.substr(kFileMark.size()));
      file.close();
      if (!name.empty() && name.find_first_of(std::string("/\0", 2)) == std::string::npos && name != "." &&
          name != "..")
        file.open(folder + "/" + name, std::ios::binary);
    } else if (file.is_open()) {
      file << line;
      if (end != std::string_view::npos) file << '\n';
    }
    if (end == std::string_view::npos) break;
    files.remove_prefix(end + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyv::Registry& registry = fuzz::registered().registry;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t files = filesStart(input);
  std::string folder = (std::filesystem::temp_directory_path() / "kyvhost_fuzz.XXXXXX").string();
  if (!mkdtemp(folder.data())) return 0;
  writeFiles(input.substr(files), folder);
  std::ostringstream out;
  {
    kyvhost::Host host(registry, out, 15, {kyvhost::FileAccess::Mode::InFolder, folder});
    std::istringstream in{std::string(input.substr(0, files))};
    host.runScript(in);
  }
  if (std::getenv("KYV_FUZZ_OUTPUT")) std::fputs(out.str().c_str(), stderr);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}
