#include "host.h"

#include <fstream>
#include <sstream>

#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/render.h"

namespace kyvhost {
namespace {

constexpr int kMaxHandlerDepth = 64;

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return !in.bad();
}

std::string kindWord(kyv::MemberKind k) { return k == kyv::MemberKind::Method ? "method" : "property"; }

}  // namespace

void Instance::eventRaised(kyv::Control&, const kyv::EventInfo& event) {
  host.out_ << "event " << name << ' ' << event.name << '\n';
  auto it = handlers.find(event.number);
  if (it == handlers.end()) return;
  if (host.depth_ >= kMaxHandlerDepth) {
    host.syntax(it->second.line, "handlers nest deeper than " + std::to_string(kMaxHandlerDepth) + " levels; " +
                                     name + "." + std::string(event.name) + " not handled");
    return;
  }
  const Instance::Handler handler = it->second;  // the handler may replace itself
  ++host.depth_;
  host.execute(handler.command, handler.line);
  --host.depth_;
}

void Instance::propertyChanged(kyv::Control&, std::string_view property) {
  host.out_ << "changed " << name << ' ' << property << '\n';
}

Host::~Host() {
  // Instances go before the registry that made them.
  instances_.clear();
}

void Host::syntax(int line, const std::string& message) {
  out_ << "syntax " << line << ": " << message << '\n';
  understood_ = false;
}

void Host::error(const std::string& who, const std::string& member, const kyv::Error& e) {
  out_ << "error " << who << '.' << member << ": " << kyv::kindName(e.kind()) << ": " << e.what() << '\n';
}

void Host::runLine(std::string_view text, int line) {
  std::string why;
  auto words = splitWords(text, why);
  if (!words) return syntax(line, why);
  if (words->empty() || (*words)[0].text.rfind('#', 0) == 0) return;
  execute(*words, line);
}

void Host::execute(const Words& w, int line) {
  if (w.empty()) return;
  const std::string& cmd = w[0].text;
  if (!files_ && (cmd == "restore" || cmd == "save" || cmd == "render"))
    return syntax(line, "\"" + cmd + "\" is disabled: this host has no file access");
  try {
    if (cmd == "new") return cmdNew(w, line, false);
    if (cmd == "restore") return cmdNew(w, line, true);
    if (cmd == "set") return cmdSet(w, line);
    if (cmd == "get") return cmdGet(w, line);
    if (cmd == "call") return cmdCall(w, line);
    if (cmd == "resize") return cmdResize(w, line);
    if (cmd == "save") return cmdSave(w, line, false);
    if (cmd == "bag") return cmdSave(w, line, true);
    if (cmd == "dump") return cmdDump(w, line);
    if (cmd == "members") return cmdMembers(w, line);
    if (cmd == "on") return cmdOn(w, line);
    if (cmd == "render") return cmdRender(w, line);
    if (cmd == "free") return cmdFree(w, line);
    if (cmd == "libraries" && w.size() == 1) {
      for (const std::string& lib : registry_.loadedLibraries()) out_ << "library " << lib << '\n';
      return;
    }
    if (cmd == "classes" && w.size() == 1) return cmdClasses();
    syntax(line, "unknown command \"" + cmd + "\"");
  } catch (const std::exception& e) {
    syntax(line, std::string("command failed: ") + e.what());
  }
}

std::shared_ptr<Instance> Host::instance(const Words& w, size_t at, int line) {
  auto it = at < w.size() ? instances_.find(w[at].text) : instances_.end();
  if (it != instances_.end()) return it->second;
  syntax(line, at < w.size() ? "no instance named \"" + w[at].text + "\"" : "instance name missing");
  return nullptr;
}

// Member index by name or "#0x68030001"; -1 (after printing the error) when missing.
int Host::bindMember(Instance& inst, const Word& member, std::string& shown) {
  const kyv::ClassInfo& info = inst.control->classInfo();
  int index = -1;
  const std::string& t = member.text;
  if (!member.quoted && t.size() > 3 && t[0] == '#') {
    auto id = parseValue(Word{t.substr(1), false});
    if (id && (id->type() == kyv::VarType::Integer || id->type() == kyv::VarType::Long))
      index = info.find(static_cast<kyv::DispId>(id->toLong()));
  } else {
    index = info.find(std::string_view(t));
  }
  shown = index >= 0 ? std::string(info.members()[index].name) : t;
  if (index < 0)
    error(inst.name, shown,
          kyv::Error(kyv::ErrorKind::NoSuchMember, "Object doesn't support this property or method: " +
                                                       std::string(info.className()) + " has no member " + t));
  return index;
}

void Host::cmdNew(const Words& w, int line, bool restore) {
  const size_t fixed = restore ? 4 : 3;
  if (w.size() != fixed && w.size() != fixed + 2)
    return syntax(line, restore ? "usage: restore NAME CLASS FILE [W H]" : "usage: new NAME CLASS [W H]");
  std::optional<float> width, height;
  if (w.size() == fixed + 2) {
    width = parseTwips(w[fixed]);
    height = parseTwips(w[fixed + 1]);
    if (!width || !height) return syntax(line, "W and H must be twips from 0 to 10000000");
  }
  const std::string& name = w[1].text;
  instances_.erase(name);
  auto inst = std::make_shared<Instance>(*this, name);
  try {
    inst->control = registry_.create(w[2].text);
  } catch (const kyv::Error& e) {
    return error(name, "Create", e);
  }
  kyv::Control& c = *inst->control;
  c.setSite(inst.get());
  instances_[name] = inst;
  c.UserControl().setRectTwips(0, 0, width.value_or(c.classInfo().defaultWidth()),
                               height.value_or(c.classInfo().defaultHeight()));
  bool initialise = !restore;
  if (restore) {
    kyv::PropertyBag bag;
    try {
      std::string text;
      if (!readText(w[3].text, text))
        kyv::raise(kyv::ErrorKind::InvalidPropertyValue, "Invalid property value: cannot read bag file " + w[3].text);
      bag = kyv::PropertyBag::fromJson(text);
    } catch (const kyv::Error& e) {
      // A document that cannot be read restores nothing: the control starts as new.
      error(name, "ReadProperties", e);
      initialise = true;
    }
    if (!initialise) {
      try {
        c.ReadProperties(bag);
      } catch (const kyv::Error& e) {
        error(name, "ReadProperties", e);
      }
    }
  }
  if (initialise) {
    try {
      c.InitProperties();
    } catch (const kyv::Error& e) {
      error(name, "InitProperties", e);
    }
  }
  try {
    c.Resize();
  } catch (const kyv::Error& e) {
    error(name, "Resize", e);
  }
}

void Host::cmdSet(const Words& w, int line) {
  if (w.size() != 4) return syntax(line, "usage: set NAME MEMBER VALUE");
  auto value = parseValue(w[3]);
  if (!value) return syntax(line, "\"" + w[3].text + "\" is not a value");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  std::string shown;
  const int m = bindMember(*inst, w[2], shown);
  if (m < 0) return;
  try {
    inst->control->invoke(m, kyv::Invoke::Put, &*value);
  } catch (const kyv::Error& e) {
    error(inst->name, shown, e);
  }
}

void Host::cmdGet(const Words& w, int line) {
  if (w.size() != 3) return syntax(line, "usage: get NAME MEMBER");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  std::string shown;
  const int m = bindMember(*inst, w[2], shown);
  if (m < 0) return;
  try {
    const kyv::Variant v = inst->control->invoke(m, kyv::Invoke::Get, nullptr);
    out_ << inst->name << '.' << shown << " = " << v.display() << '\n';
  } catch (const kyv::Error& e) {
    error(inst->name, shown, e);
  }
}

void Host::cmdCall(const Words& w, int line) {
  if (w.size() != 3 && w.size() != 4) return syntax(line, "usage: call NAME MEMBER [VALUE]");
  std::optional<kyv::Variant> value;
  if (w.size() == 4) {
    value = parseValue(w[3]);
    if (!value) return syntax(line, "\"" + w[3].text + "\" is not a value");
  }
  auto inst = instance(w, 1, line);
  if (!inst) return;
  std::string shown;
  const int m = bindMember(*inst, w[2], shown);
  if (m < 0) return;
  kyv::Variant arg = value.value_or(kyv::Variant());
  try {
    const kyv::Variant result = inst->control->invoke(m, kyv::Invoke::Call, &arg);
    out_ << inst->name << '.' << shown;
    if (value) out_ << '(' << value->display() << ')';
    out_ << " -> " << result.display();
    if (value) out_ << "; arg = " << arg.display();
    out_ << '\n';
  } catch (const kyv::Error& e) {
    error(inst->name, shown, e);
  }
}

void Host::cmdResize(const Words& w, int line) {
  if (w.size() != 4) return syntax(line, "usage: resize NAME W H");
  auto width = parseTwips(w[2]), height = parseTwips(w[3]);
  if (!width || !height) return syntax(line, "W and H must be twips from 0 to 10000000");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  try {
    inst->control->setExtent(*width, *height);
  } catch (const kyv::Error& e) {
    error(inst->name, "Resize", e);
  }
}

void Host::cmdSave(const Words& w, int line, bool print) {
  if (w.size() != (print ? 2u : 3u)) return syntax(line, print ? "usage: bag NAME" : "usage: save NAME FILE");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  kyv::PropertyBag bag;
  try {
    inst->control->WriteProperties(bag);
  } catch (const kyv::Error& e) {
    return error(inst->name, "WriteProperties", e);
  }
  if (print) {
    for (const auto& e : bag.entries()) out_ << inst->name << " bag " << e.key << " = " << e.value.display() << '\n';
    return;
  }
  std::ofstream file(w[2].text, std::ios::binary | std::ios::trunc);
  file << bag.toJson() << '\n';
  if (!file.good()) syntax(line, "cannot write " + w[2].text);
}

void Host::cmdDump(const Words& w, int line) {
  if (w.size() != 2 && w.size() != 3) return syntax(line, "usage: dump NAME [PATH]");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  const std::string path = w.size() == 3 ? w[2].text : "";
  if (!dumpControl(out_, inst->name + ".", *inst->control, path))
    syntax(line, inst->name + " has no element " + path);
}

void Host::cmdMembers(const Words& w, int line) {
  if (w.size() != 2) return syntax(line, "usage: members CLASS");
  try {
    registry_.describe(w[1].text, [&](const kyv::ClassInfo& info) {
      int n = 0;
      char id[16];
      for (const kyv::MemberInfo& m : info.members()) {
        std::snprintf(id, sizeof id, "0x%08X", static_cast<uint32_t>(m.id));
        out_ << "member " << ++n << ' ' << m.name << ' ' << kindWord(m.kind) << ' ' << kyv::typeName(m.type) << ' '
             << id << '\n';
      }
      for (const kyv::EventInfo& e : info.events()) out_ << "event " << e.number << ' ' << e.name << '\n';
    });
  } catch (const kyv::Error& e) {
    error(w[1].text, "Create", e);
  }
}

void Host::cmdClasses() {
  try {
    for (const kyv::RegisteredClass& c : registry_.registeredClasses())
      out_ << "class " << c.className << ' ' << c.library << '\n';
  } catch (const kyv::Error& e) {
    error("registry", "classes", e);
  }
}

void Host::cmdOn(const Words& w, int line) {
  if (w.size() < 4) return syntax(line, "usage: on NAME EVENT COMMAND...");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  for (const kyv::EventInfo& e : inst->control->classInfo().events()) {
    if (kyv::sameName(e.name, w[2].text)) {
      inst->handlers[e.number] = {Words(w.begin() + 3, w.end()), line};
      return;
    }
  }
  syntax(line, std::string(inst->control->classInfo().className()) + " has no event " + w[2].text);
}

void Host::cmdRender(const Words& w, int line) {
  if (w.size() != 3) return syntax(line, "usage: render NAME FILE");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  try {
    kyv::renderToFile(*inst->control, w[2].text, tpp_);
  } catch (const kyv::Error& e) {
    syntax(line, e.what());
  }
}

void Host::cmdFree(const Words& w, int line) {
  if (w.size() != 2) return syntax(line, "usage: free NAME");
  // A call still running on the instance keeps it alive until it returns.
  if (!instances_.erase(w[1].text)) syntax(line, "no instance named \"" + w[1].text + "\"");
}

}  // namespace kyvhost
