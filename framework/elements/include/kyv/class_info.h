#pragma once
// Type info and late binding: a class publishes its name, default extent, members in
// interface order with dispatch ids, kinds, types and help texts, its events and its
// stored properties, and how hosts present it and feed it. Hosts bind a member once (by
// name, case-insensitively, or by id) and then invoke it by index.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "kyv/export.h"
#include "kyv/variant.h"

namespace kyv {

class Control;
class PropertyBag;

using DispId = int32_t;

enum class MemberKind : uint8_t { Property, Method };
enum class Invoke : uint8_t { Get, Put, Call };

// What a host feeds a control again after the control's layout emptied its picture, so
// that the picture shows the same readings at the new size.
enum class Replay : uint8_t {
  Nothing,      // the control keeps its picture through a layout by itself
  LastReading,  // the last reading: the layout shows none until the next
  Trace,        // the readings of the trace, oldest first: as many as FeedInfo::traceLength's value + 1
  EveryItem,    // each item's last reading (FeedInfo::selector selects the item), then the item last
                // selected; the control keeps its items through a layout, measured as they were
};

// Whole readings from `low` to `high`.
struct ReadingRange {
  int64_t low = 0, high = 0;
};

// What a method that takes a reading (its by-reference argument) shows of it, for hosts
// that feed it, check a reading before the control gets it, or describe what is shown.
// Every field may stay empty: a feed of every value of its argument's type.
struct FeedInfo {
  std::string_view argument = {};  // the reading's name, "BarData"; empty: "value"
  // The readings shown as they are; none: every value of the argument's type.
  std::optional<ReadingRange> shows = {};
  // The readings that change the picture (a negative number may show without its sign);
  // the control leaves its picture as it was for any other. None: every reading the
  // control accepts.
  std::optional<ReadingRange> takes = {};
  // A level's full scale: the property whose value fills the picture (readings from 0 to it).
  std::string_view fullScale = {};
  Replay replay = Replay::Nothing;
  std::string_view traceLength = {};  // Replay::Trace: the property of the trace's length
  std::string_view selector = {};     // the method that selects the item this one sets
  std::vector<int32_t> samples = {};  // readings that show what the control is for (an icon, a preview)
  // A chart's: how many of its latest readings the picture shows at the control's present
  // extent and properties (a trace's points, a bar graph's bars); null for a picture of one
  // reading or of items. A host that knows the past of a feed fills the picture with that many.
  int (*readingsShown)(const Control& control) = nullptr;
};

struct MemberInfo {
  std::string_view name;
  MemberKind kind;
  VarType type;  // property type, or a method's result type
  DispId id;
  std::string_view help;             // the help text the class reports
  VarType argType = VarType::Empty;  // a method's by-reference argument; Empty when none
  // What the help text does not say, in plain words: the reference pages add it, and the
  // typed Qt widgets document the property with it; empty when the help text says it all.
  std::string_view note = {};
  // A property the control takes up only at its next layout (Resize): a host lays the
  // control out again after writing it, before the control paints or is fed.
  bool takesEffectAtLayout = false;
  // A method that takes a reading: what it shows of it (see FeedInfo).
  FeedInfo feed = {};
};

struct EventInfo {
  std::string_view name;
  int number;  // from 1, in declaration order
  std::string_view help;
};

// One stored property as a property bag holds it: its key, default and type, and how many
// entries ReadProperties reads and WriteProperties writes (-1 when the instance decides;
// `entries` then says how many).
struct StoredInfo {
  std::string_view key;
  Variant fallback;
  VarType type;
  int reads;
  int writes;
  std::string_view entries;
};

// A class's sizes in twips: the extent a new instance gets, and the smallest extent its
// layout accepts (what still shows its parts readably; 0 when any size will do).
struct DesignExtent {
  float width, height;
  float minimumWidth = 0, minimumHeight = 0;
};

// The kind of picture a class shows, for hosts that describe it (assistive technology): one
// reading as a level from 0 to a full scale, one reading as a number, or many as a chart.
enum class PictureKind : uint8_t { Chart, Level, Number };

// How hosts present a class: a catalog's title and line, the kind of picture, the room it
// takes in a layout, its face's colours, and the classes it shares its members with.
struct Presentation {
  std::string_view title = {};        // what it is, in a few words: "Vertical status bar"
  std::string_view description = {};  // what it shows, in one line
  PictureKind picture = PictureKind::Chart;
  // Whether the class takes the room a layout offers across and down; else it keeps to its
  // design extent at most.
  bool growsAcross = true, growsDown = true;
  // Whether BackColor keeps the dark colour its class default shows under the classic light
  // palette (a digit's face, a trace's background), whatever palette the host has.
  bool keepsFaceDark = false;
  // The name of the classes of several libraries that present the same members
  // ("StatusBar"): hosts make one base for them. Empty: the class stands alone.
  std::string_view family = {};
};

class KYV_API ClassInfo {
 public:
  // Raises std::invalid_argument when two members have the same dispatch id.
  ClassInfo(std::string_view className, DesignExtent extent, std::vector<MemberInfo> members,
            std::vector<EventInfo> events, Presentation presentation = {});
  ClassInfo(std::string_view className, float defaultWidth, float defaultHeight, std::vector<MemberInfo> members,
            std::vector<EventInfo> events);
  virtual ~ClassInfo();
  ClassInfo(const ClassInfo&) = delete;
  ClassInfo& operator=(const ClassInfo&) = delete;

  std::string_view className() const { return className_; }
  float defaultWidth() const { return extent_.width; }
  float defaultHeight() const { return extent_.height; }
  // The smallest extent an instance's layout accepts, in twips; hosts lay it out no smaller.
  float minimumWidth() const { return extent_.minimumWidth; }
  float minimumHeight() const { return extent_.minimumHeight; }
  const std::vector<MemberInfo>& members() const { return members_; }
  const std::vector<EventInfo>& events() const { return events_; }
  const Presentation& presentation() const { return presentation_; }

  // Member index for a name (any case) or a dispatch id; -1 when there is none.
  int find(std::string_view name) const;
  int find(DispId id) const;
  // The same for a host binding a member it means to use, of `kind` when one is given.
  // Raises no-such-member when there is none: "Object doesn't support this property or
  // method: CLASS has no property NAME" ("method", or "member" when no kind is given; an id
  // shows as #0x68030001).
  int bind(std::string_view name, std::optional<MemberKind> kind = std::nullopt) const;
  int bind(DispId id, std::optional<MemberKind> kind = std::nullopt) const;

  // Reads, writes or calls member `index` of `control`, which must be of this class.
  // `arg` is the by-reference argument of a call (converted in place to the argument
  // type, written back on return) or the value of a write.
  virtual Variant invoke(Control& control, int index, Invoke how, Variant* arg) const = 0;
  virtual void readProperties(Control& control, PropertyBag& bag) const = 0;
  virtual void writeProperties(Control& control, PropertyBag& bag) const = 0;
  // The stored properties in the order ReadProperties reads them, and in the order
  // WriteProperties writes them.
  virtual std::vector<StoredInfo> storedReadOrder() const { return {}; }
  virtual std::vector<StoredInfo> storedWriteOrder() const { return {}; }

 private:
  static int slotOf(DispId id);
  void refuseRepeatedIds() const;
  int bound(int index, std::optional<MemberKind> kind, const std::string& shown) const;
  std::string_view className_;
  DesignExtent extent_;
  std::vector<MemberInfo> members_;
  std::vector<EventInfo> events_;
  Presentation presentation_;
  std::array<int16_t, 512> byId_{};  // member index + 1 by id slot; 0 empty, -1 shared
};

}  // namespace kyv
