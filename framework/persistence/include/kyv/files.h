#pragma once
// Whole files read and written safely: a write never leaves a part of a file behind, and
// a read never takes more than its caller can hold.
#include <cstddef>
#include <string>
#include <string_view>

#include "kyv/export.h"

namespace kyv {

// Replaces the file at `path` with `contents`. The bytes go to a new file in the same
// folder, which is flushed to the disk and renamed over the old one once every write, the
// flush and the close succeeded, so readers see the old file or the new one and a failed
// write leaves the old file as it was (the new one is removed); the folder is flushed
// after the rename, so that a power cut leaves the old file or the new one, never an
// empty one. A failed flush is reported as a failed write (after the rename, with the new
// file in place). A symbolic link is followed, and the file keeps its
// permissions. A path that names something other than a regular file (a device such as
// /dev/null or /dev/full) is written in place. Raises invalid-property-value, naming the
// file and the reason, when any step fails.
KYV_API void writeFileAtomically(const std::string& path, std::string_view contents);

// The whole of the file at `path`. Raises invalid-property-value, naming the file, when it
// cannot be read or holds more than `maxBytes` bytes (reading stops there: a file that
// never ends, such as /dev/zero, is refused too).
KYV_API std::string readFileAtMost(const std::string& path, size_t maxBytes);

}  // namespace kyv
