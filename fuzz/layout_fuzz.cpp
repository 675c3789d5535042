// Fuzzes kyvdash's layout reader: any file is read into a layout or a list of errors,
// never a crash, a hang or a read out of bounds.
#include <QByteArray>
#include <QStringList>
#include <cstddef>
#include <cstdint>

#include "Layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QStringList errors;
  const kyvdash::Layout layout =
      kyvdash::parseLayout(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), errors);
  if (errors.isEmpty()) layout.extent();
  return 0;
}
