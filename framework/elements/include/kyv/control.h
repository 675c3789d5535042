#pragma once
// Control: the base of every control of the family. It owns its surface and elements,
// talks to its host through a Site, and publishes its members through its ClassInfo.
#include <string_view>

#include "kyv/class_info.h"
#include "kyv/elements.h"
#include "kyv/export.h"
#include "kyv/region.h"
#include "kyv/variant.h"

namespace kyv {

class PropertyBag;
class Registry;
class Site;

class KYV_API Control {
 public:
  Control(const ClassInfo& info, Registry* registry);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const ClassInfo& classInfo() const { return info_; }
  Surface& UserControl() { return surface_; }
  const Surface& UserControl() const { return surface_; }

  void setSite(Site* site) { site_ = site; }
  Site* site() const { return site_; }
  // The registry the control was created through (composites create their parts there).
  Registry* registry() const { return registry_; }

  // Lifecycle, fired by the host.
  virtual void InitProperties() {}
  virtual void ReadProperties(PropertyBag& bag);
  virtual void WriteProperties(PropertyBag& bag);
  virtual void Resize() {}
  // Sets the extent in twips, then runs Resize. An extent that is not a finite number
  // raises invalid-property-value (see checkExtent) and the control keeps the one it had.
  void setExtent(float width, float height);
  // Raises invalid-property-value unless `width` and `height` are finite numbers of twips,
  // for hosts that place a new control's surface themselves before its InitProperties.
  static void checkExtent(float width, float height);

  // Late binding. Each raises no-such-member when the member is missing or of the other kind.
  Variant get(std::string_view name);
  void put(std::string_view name, const Variant& value);
  Variant call(std::string_view name, Variant& arg);
  Variant invoke(int member, Invoke how, Variant* arg);

  // Painting: a control is dirty from its first change until the host has painted it.
  // clearDirty forgets the request, not the damage: that goes with the next render.
  bool dirty() const { return dirty_; }
  void clearDirty() { dirty_ = false; }
  // Asks the host to repaint: the site hears of it at the end of the late-bound call
  // under way (invoke), or at once when none is and the control was clean.
  void invalidate();
  // The device pixels whose picture may differ from the control's last paint, at that
  // paint's twips per pixel, from its top-left corner: every pixel before the first paint.
  // Worked out from the elements changed since then, when asked.
  const Region& damage();
  // Whether the control has been painted: until then its elements' changes are not
  // tracked, every pixel being damage anyway.
  bool painted() const { return paintedTpp_ != 0; }

 protected:
  void RaiseEvent(int number);
  void PropertyChanged(std::string_view name);
  // Asks the host to repaint the control.
  void Refresh() { surface_.Refresh(); }

 private:
  friend class ControlSlot;
  friend class Registry;
  friend struct detail::Tracker;
  // Places the control in `slot` of another control, which then hears of its changes.
  void embedIn(ControlSlot* slot) { slot_ = slot; }
  void endCall();
  void report(const Region& damage);
  const ClassInfo& info_;
  Registry* registry_;
  Site* site_ = nullptr;
  ControlSlot* slot_ = nullptr;
  int calls_ = 0;            // late-bound calls under way
  bool unreported_ = false;  // changed during them
  bool dirty_ = true;
  bool damageKnown_ = false;     // damage_ holds the changes so far
  bool madeByRegistry_ = false;  // goes back to its library's factory when destroyed
  double paintedTpp_ = 0;        // 0 before the first paint
  uint64_t paintedPalette_ = 0;
  Region damage_;
  Surface surface_;
};

}  // namespace kyv
