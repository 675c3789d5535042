// Fuzzes kyvdash's reader of the Prometheus text exposition format, which reads pages
// from the network, and its reader of the selectors written in a layout: neither may
// crash, hang or read out of bounds, whatever the bytes.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "PromText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  int bad = 0;
  const std::vector<kyvdash::PromSample> samples = kyvdash::parseExposition(bytes, &bad);
  QString problem;
  if (std::optional<kyvdash::Selector> s = kyvdash::parseSelector(QString::fromUtf8(bytes.left(4096)), &problem))
    for (const kyvdash::PromSample& sample : samples) s->matches(sample);
  return 0;
}
