#include "host.h"

#include <string>

#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/render.h"

namespace kyvhost {
namespace {

constexpr int kMaxHandlerDepth = 64;

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

void Host::runScript(std::istream& in) {
  std::streambuf* source = in.rdbuf();
  std::string text;
  int line = 0;
  for (;;) {
    text.clear();
    bool tooLong = false;
    int c = source->sbumpc();
    if (c == std::char_traits<char>::eof()) return;
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = source->sbumpc()) {
      if (text.size() < kMaxLineBytes) text += static_cast<char>(c);
      else tooLong = true;
    }
    ++line;
    if (tooLong) syntax(line, "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
    else runLine(text, line);
  }
}

void Host::runLine(std::string_view text, int line) {
  if (text.size() > kMaxLineBytes)
    return syntax(line, "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
  std::string why;
  auto words = splitWords(text, why);
  if (!words) return syntax(line, why);
  if (words->empty() || (*words)[0].text.rfind('#', 0) == 0) return;
  execute(*words, line);
}

void Host::execute(const Words& w, int line) {
  if (w.empty()) return;
  const std::string& cmd = w[0].text;
  if (files_.mode == FileAccess::Mode::None && (cmd == "restore" || cmd == "save" || cmd == "render"))
    return syntax(line, kyv::quoteForMessage(cmd) + " is disabled: this host has no file access");
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
    syntax(line, "unknown command " + kyv::quoteForMessage(cmd));
  } catch (const std::exception& e) {
    syntax(line, std::string("command failed: ") + e.what());
  }
}

std::shared_ptr<Instance> Host::instance(const Words& w, size_t at, int line) {
  auto it = at < w.size() ? instances_.find(w[at].text) : instances_.end();
  if (it != instances_.end()) return it->second;
  syntax(line, at < w.size() ? "no instance named " + kyv::quoteForMessage(w[at].text) : "instance name missing");
  return nullptr;
}

std::optional<std::string> Host::filePath(const Word& file, int line) {
  const std::string& name = file.text;
  if (files_.mode != FileAccess::Mode::InFolder) return name;
  if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string("/\0", 2)) != std::string::npos) {
    syntax(line, kyv::quoteForMessage(name) + " is not a plain file name: this host reads and writes files in one folder only");
    return std::nullopt;
  }
  return files_.folder + "/" + name;
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
  shown = index >= 0 ? std::string(info.members()[index].name) : kyv::nameForMessage(t);
  if (index < 0)
    error(inst.name, shown,
          kyv::Error(kyv::ErrorKind::NoSuchMember, "Object doesn't support this property or method: " +
                                                       std::string(info.className()) + " has no member " + shown));
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
  std::optional<std::string> bagFile;
  if (restore && !(bagFile = filePath(w[3], line))) return;
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
      bag = kyv::PropertyBag::fromJson(kyv::readFileAtMost(*bagFile, kyv::kMaxBagBytes));
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
  if (!value) return syntax(line, kyv::quoteForMessage(w[3].text) + " is not a value");
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
    if (!value) return syntax(line, kyv::quoteForMessage(w[3].text) + " is not a value");
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
  std::optional<std::string> path;
  if (!print && !(path = filePath(w[2], line))) return;
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
  try {
    kyv::writeFileAtomically(*path, bag.toJson() + '\n');
  } catch (const kyv::Error& e) {
    syntax(line, e.what());
  }
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
  const std::optional<std::string> path = filePath(w[2], line);
  if (!path) return;
  auto inst = instance(w, 1, line);
  if (!inst) return;
  try {
    kyv::renderToFile(*inst->control, *path, tpp_);
  } catch (const kyv::Error& e) {
    syntax(line, e.what());
  }
}

void Host::cmdFree(const Words& w, int line) {
  if (w.size() != 2) return syntax(line, "usage: free NAME");
  // A call still running on the instance keeps it alive until it returns.
  if (!instances_.erase(w[1].text)) syntax(line, "no instance named " + kyv::quoteForMessage(w[1].text));
}

}  // namespace kyvhost
