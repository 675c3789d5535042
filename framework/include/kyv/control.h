#pragma once
// Control: the base of every control of the family. It owns its surface and elements,
// talks to its host through a Site, and publishes its members through its ClassInfo.
#include <string_view>

#include "kyv/class_info.h"
#include "kyv/elements.h"
#include "kyv/export.h"
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
  // Sets the extent in twips, then runs Resize.
  void setExtent(float width, float height);

  // Late binding. Each raises no-such-member when the member is missing or of the other kind.
  Variant get(std::string_view name);
  void put(std::string_view name, const Variant& value);
  Variant call(std::string_view name, Variant& arg);
  Variant invoke(int member, Invoke how, Variant* arg);

  // Painting: a control is dirty from its first change until the host has painted it.
  bool dirty() const { return dirty_; }
  void clearDirty() { dirty_ = false; }
  void invalidate();

 protected:
  void RaiseEvent(int number);
  void PropertyChanged(std::string_view name);
  // Asks the host to repaint the control.
  void Refresh() { surface_.Refresh(); }

 private:
  const ClassInfo& info_;
  Registry* registry_;
  Site* site_ = nullptr;
  bool dirty_ = true;
  Surface surface_;
};

}  // namespace kyv
