#pragma once
// A layout checked against the controls' own type info, and the members a feed calls.
#include <QString>
#include <QStringList>
#include <optional>

#include "Layout.h"
#include "kyv/class_info.h"
#include "kyv/registry.h"

namespace kyvdash {

// The members a feed calls, as indexes into the class's members.
struct FeedMembers {
  int method = -1;                             // called with each value
  kyv::VarType argType = kyv::VarType::Empty;  // its by-reference argument's type
  int column = -1;                             // Column, called first when the feed gives one
};

// The members `feed` calls on a control of class `info`: the method the feed names, or
// else the class's feed method, the last method in interface order whose by-reference
// argument is a number (incbar, send, MoveBar, Plot, Value). Nothing, with the field at
// fault in `field` and the reason in `problem`, when the class cannot be fed so.
std::optional<FeedMembers> feedMembers(const kyv::ClassInfo& info, const LayoutFeed& feed, QString* field,
                                       QString* problem);

// Checks every control against its class: the class can be created, each feed finds its
// members, and each event of `on` is one the class raises. Problems are appended to
// `errors` as parseLayout writes them.
void checkClasses(const Layout& layout, kyv::Registry& registry, QStringList& errors);

}  // namespace kyvdash
