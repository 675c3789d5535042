#pragma once
// A kind of source, declared once: its name in a layout, the members it takes and how they
// are checked, what its fields may be, and how the source is made. Reading a layout and
// running it both go through the kind; SourceKinds.cpp lists every kind a layout may name.
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

#include "Clock.h"
#include "FieldReader.h"
#include "Source.h"

namespace kyvdash {

class FdReader;

// What a source may need of the program that runs it.
struct SourceNeeds {
  std::function<FdReader&()> standardInput;  // the reader of standard input, one for every stdin source
};

// What a reading of a field reaches on most machines: shares in % up to 100, network rates
// up to a 1 Gbit/s link.
struct FieldReach {
  double low = 0, high = 0;
  QString why;  // "a 1 Gbit/s link"
};

// What the fields of a source give besides a reading: nothing more, the series of a value
// (a query's instant vector, among which a feed's `match` or `columns` choose), or the
// alerts that fire, one series each (which mark the controls whose series they concern).
enum class SeriesKind { None, Values, Alerts };

// A source as a layout describes it: its kind's settings, read and checked.
class SourceSettings {
 public:
  virtual ~SourceSettings() = default;
  // The source these settings describe, named `name`.
  virtual std::unique_ptr<Source> make(const QString& name, const SourceNeeds& needs) const = 0;
  // What is wrong with `field` as a field of this source, as a layout error says it; empty
  // when nothing is.
  virtual QString fieldProblem(const QString& field) const;
  // What a reading of `field` reaches, when the kind knows.
  virtual std::optional<FieldReach> fieldReach(const QString& field) const;
  // Seconds without a reading after which a feed of this source is stale when the feed
  // does not say; none: such a feed does not go stale.
  virtual std::optional<double> staleAfter() const;
  // What its fields give besides a reading.
  virtual SeriesKind seriesKind() const;
  // Asks the source once, within `timeout`, what each of `fields` gives now: their series,
  // by field (so that a check can say what a feed would be given). Nothing, with why in
  // `failure`, when it cannot be asked; nothing and no failure from a kind that is not
  // asked so (the default).
  virtual std::map<QString, std::vector<Series>> askOnce(const QStringList& fields, std::chrono::milliseconds timeout,
                                                         QString* failure) const;
};

struct SourceKind {
  QString name;  // as a layout's "type" names it
  // Reads a source of this kind from its JSON object, noting every problem (a member it
  // does not take among them) in `fields`.
  std::function<std::unique_ptr<SourceSettings>(const nlohmann::json& source, const FieldReader& fields)> read;
};

// Every kind a layout may name: those of kyvdash, then those added.
const std::vector<SourceKind>& sourceKinds();
// The kind named `name`; null when there is none.
const SourceKind* findSourceKind(const QString& name);
// Adds `kind` to those a layout may name (a program's own kind, or a test's); one of the
// same name is replaced.
void addSourceKind(SourceKind kind);

}  // namespace kyvdash
