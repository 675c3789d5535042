#include "host.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "kyv/bag.h"
#include "kyv/class_info.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/render.h"

namespace kyvhost {
namespace {

constexpr int kMaxHandlerDepth = 64;

std::string kindWord(kyv::MemberKind k) { return k == kyv::MemberKind::Method ? "method" : "property"; }

// A premultiplied 0xAARRGGBB pixel as a colour value (0x00BBGGRR), or Empty when it is
// fully transparent.
std::string pixelValue(uint32_t argb) {
  const uint32_t alpha = argb >> 24;
  if (alpha == 0) return kyv::Variant().display();
  const auto channel = [&](int shift) { return (((argb >> shift) & 0xFF) * 255 + alpha / 2) / alpha; };
  return kyv::Variant(kyv::Colour{kyv::packBgr(channel(16), channel(8), channel(0))}).display();
}

}  // namespace

void Instance::eventRaised(kyv::Control&, const kyv::EventInfo& event) {
  host.out_ << "event " << name << ' ' << event.name << '\n';
  auto it = handlers.find(event.number);
  if (it == handlers.end()) return;
  if (host.depth_ >= kMaxHandlerDepth) {
    host.syntax(it->second.line, "handlers nest deeper than " + std::to_string(kMaxHandlerDepth) + " levels; " + name +
                                     "." + std::string(event.name) + " not handled");
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

std::optional<std::string> Host::runScript(std::istream& in) {
  // A file stream throws when a read fails (a folder gives EISDIR).
  try {
    readLines(*in.rdbuf());
  } catch (const std::ios_base::failure& e) {
    return e.code().message();
  }
  return std::nullopt;
}

void Host::readLines(std::streambuf& source) {
  std::string text;
  int line = 0;
  for (;;) {
    text.clear();
    bool tooLong = false;
    int c = source.sbumpc();
    if (c == std::char_traits<char>::eof()) return;
    for (; c != std::char_traits<char>::eof() && c != '\n'; c = source.sbumpc()) {
      if (text.size() < kMaxLineBytes)
        text += static_cast<char>(c);
      else
        tooLong = true;
    }
    ++line;
    if (tooLong)
      syntax(line, "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes");
    else
      runLine(text, line);
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

std::span<const Host::Command> Host::commands() {
  constexpr size_t any = Command::kAnyCount;
  static const Command table[] = {
      {"new", "NAME CLASS [W H]", 2, 4, "create a control (InitProperties, then Resize)", &Host::cmdNew},
      {"restore", "NAME CLASS FILE [W H]", 3, 5, "create a control from a saved bag (ReadProperties)",
       &Host::cmdRestore, true},
      {"set", "NAME MEMBER VALUE", 3, 3, "write a property", &Host::cmdSet},
      {"get", "NAME MEMBER", 2, 2, "read a property", &Host::cmdGet},
      {"call", "NAME MEMBER [VALUE]", 2, 3, "call a method, the argument passed by reference", &Host::cmdCall},
      {"resize", "NAME W H", 3, 3, "set the extent and fire Resize", &Host::cmdResize},
      {"save", "NAME FILE", 2, 2, "write the property bag to FILE as JSON", &Host::cmdSave, true},
      {"bag", "NAME", 1, 1, "print the property bag", &Host::cmdBag},
      {"dump", "NAME [PATH]", 1, 2, "print the state of the elements (or of one)", &Host::cmdDump},
      {"members", "CLASS", 1, 1, "print a class's members and events", &Host::cmdMembers},
      {"on", "NAME EVENT COMMAND...", 3, any, "run COMMAND whenever NAME raises EVENT", &Host::cmdOn},
      {"render", "NAME FILE", 2, 2, "draw the control into a .png, .svg or .pdf file", &Host::cmdRender, true},
      {"pixel", "NAME X Y", 3, 3, "print the colour of one pixel of the control's picture", &Host::cmdPixel},
      {"free", "NAME", 1, 1, "destroy the instance", &Host::cmdFree},
      {"libraries", "", 0, 0, "list the control libraries loaded now", &Host::cmdLibraries},
      {"classes", "", 0, 0, "list the classes of the registration file", &Host::cmdClasses},
  };
  return table;
}

std::string Host::Command::usage() const {
  return parameters.empty() ? std::string(name) : std::string(name) + " " + std::string(parameters);
}

void Host::execute(const Words& w, int line) {
  if (w.empty()) return;
  const std::string& name = w[0].text;
  const auto commands = Host::commands();
  const auto command = std::find_if(commands.begin(), commands.end(), [&](const Command& c) { return c.name == name; });
  if (command == commands.end()) return syntax(line, "unknown command " + kyv::quoteForMessage(name));
  if (command->usesFiles && files_.mode == FileAccess::Mode::None)
    return syntax(line, kyv::quoteForMessage(name) + " is disabled: this host has no file access");
  const size_t count = w.size() - 1;
  const bool fits = count == command->least || count == command->most ||
                    (command->most == Command::kAnyCount && count >= command->least);
  if (!fits) return syntax(line, "usage: " + command->usage());
  try {
    (this->*command->run)(w, line);
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
    syntax(line, kyv::quoteForMessage(name) +
                     " is not a plain file name: this host reads and writes files in one folder only");
    return std::nullopt;
  }
  return files_.folder + "/" + name;
}

int Host::bindMember(Instance& inst, const Word& member, std::string& shown) {
  const kyv::ClassInfo& info = inst.control->classInfo();
  const std::string& t = member.text;
  shown = kyv::nameForMessage(t);
  try {
    const std::optional<kyv::Variant> id =
        !member.quoted && t.size() > 3 && t[0] == '#' ? parseValue(Word{t.substr(1), false}) : std::nullopt;
    const bool byId = id && (id->type() == kyv::VarType::Integer || id->type() == kyv::VarType::Long);
    const int index = byId ? info.bind(static_cast<kyv::DispId>(id->toLong())) : info.bind(std::string_view(t));
    shown = std::string(info.members()[index].name);
    return index;
  } catch (const kyv::Error& e) {
    error(inst.name, shown, e);
    return -1;
  }
}

void Host::create(const Words& w, int line, bool restore) {
  const size_t fixed = restore ? 4 : 3;
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

template <class Use>
void Host::withMember(const Words& w, int line, Use&& use) {
  std::optional<kyv::Variant> value;
  if (w.size() > 3) {
    value = parseValue(w[3]);
    if (!value) return syntax(line, kyv::quoteForMessage(w[3].text) + " is not a value");
  }
  auto inst = instance(w, 1, line);
  if (!inst) return;
  std::string shown;
  const int m = bindMember(*inst, w[2], shown);
  if (m < 0) return;
  try {
    use(*inst, m, shown, value);
  } catch (const kyv::Error& e) {
    error(inst->name, shown, e);
  }
}

void Host::cmdSet(const Words& w, int line) {
  withMember(w, line, [](Instance& inst, int m, const std::string&, std::optional<kyv::Variant>& value) {
    inst.control->invoke(m, kyv::Invoke::Put, &*value);
  });
}

void Host::cmdGet(const Words& w, int line) {
  withMember(w, line, [&](Instance& inst, int m, const std::string& shown, std::optional<kyv::Variant>&) {
    const kyv::Variant v = inst.control->invoke(m, kyv::Invoke::Get, nullptr);
    out_ << inst.name << '.' << shown << " = " << v.display() << '\n';
  });
}

void Host::cmdCall(const Words& w, int line) {
  withMember(w, line, [&](Instance& inst, int m, const std::string& shown, std::optional<kyv::Variant>& value) {
    kyv::Variant arg = value.value_or(kyv::Variant());
    const kyv::Variant result = inst.control->invoke(m, kyv::Invoke::Call, &arg);
    out_ << inst.name << '.' << shown;
    if (value) out_ << '(' << value->display() << ')';
    out_ << " -> " << result.display();
    if (value) out_ << "; arg = " << arg.display();
    out_ << '\n';
  });
}

void Host::cmdResize(const Words& w, int line) {
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

void Host::cmdSave(const Words& w, int line) {
  const std::optional<std::string> path = filePath(w[2], line);
  if (!path) return;
  auto inst = instance(w, 1, line);
  if (!inst) return;
  kyv::PropertyBag bag;
  if (!writeProperties(*inst, bag)) return;
  try {
    kyv::writeFileAtomically(*path, bag.toJson() + '\n');
  } catch (const kyv::Error& e) {
    syntax(line, e.what());
  }
}

void Host::cmdBag(const Words& w, int line) {
  auto inst = instance(w, 1, line);
  if (!inst) return;
  kyv::PropertyBag bag;
  if (!writeProperties(*inst, bag)) return;
  for (const auto& e : bag.entries()) out_ << inst->name << " bag " << e.key << " = " << e.value.display() << '\n';
}

bool Host::writeProperties(Instance& inst, kyv::PropertyBag& bag) {
  try {
    inst.control->WriteProperties(bag);
    return true;
  } catch (const kyv::Error& e) {
    error(inst.name, "WriteProperties", e);
    return false;
  }
}

void Host::cmdDump(const Words& w, int line) {
  auto inst = instance(w, 1, line);
  if (!inst) return;
  const std::string path = w.size() == 3 ? w[2].text : "";
  if (!dumpControl(out_, inst->name + ".", *inst->control, path)) syntax(line, inst->name + " has no element " + path);
}

void Host::cmdMembers(const Words& w, int) {
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

void Host::cmdLibraries(const Words&, int) {
  for (const std::string& lib : registry_.loadedLibraries()) out_ << "library " << lib << '\n';
}

void Host::cmdClasses(const Words&, int) {
  try {
    for (const kyv::RegisteredClass& c : registry_.registeredClasses())
      out_ << "class " << c.className << ' ' << c.library << '\n';
  } catch (const kyv::Error& e) {
    error("registry", "classes", e);
  }
}

void Host::cmdOn(const Words& w, int line) {
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

// The picture is the one render writes: the extent rounded up to whole pixels at the
// host's scale. A pixel the control leaves uncovered (where its extent ends inside a
// pixel) prints Empty.
void Host::cmdPixel(const Words& w, int line) {
  const std::optional<kyv::Variant> x = parseValue(w[2]), y = parseValue(w[3]);
  const auto whole = [](const std::optional<kyv::Variant>& v) {
    return v && (v->type() == kyv::VarType::Integer || v->type() == kyv::VarType::Long);
  };
  if (!whole(x) || !whole(y)) return syntax(line, "X and Y must be whole numbers of pixels");
  auto inst = instance(w, 1, line);
  if (!inst) return;
  const kyv::Surface& surface = inst->control->UserControl();
  const double width = std::max(1.0, std::ceil(surface.widthTwips() / tpp_));
  const double height = std::max(1.0, std::ceil(surface.heightTwips() / tpp_));
  const std::string refused = kyv::pictureBeyondLimits(width, height);
  if (!refused.empty()) return syntax(line, refused);
  const int32_t px = x->toLong(), py = y->toLong();
  if (px < 0 || py < 0 || px >= width || py >= height)
    return error(inst->name, "pixel",
                 kyv::Error(kyv::ErrorKind::SubscriptOutOfRange,
                            "Subscript out of range: pixel (" + std::to_string(px) + ", " + std::to_string(py) +
                                ") is outside the picture of " + kyv::formatNumber(width) + " x " +
                                kyv::formatNumber(height) + " pixels"));
  const int w32 = static_cast<int>(width), h32 = static_cast<int>(height);
  std::vector<uint32_t> pixels(static_cast<size_t>(w32) * h32, 0);
  try {
    kyv::renderToPixels(*inst->control, reinterpret_cast<uint8_t*>(pixels.data()), w32, h32, w32 * 4, tpp_);
  } catch (const kyv::Error& e) {
    return syntax(line, e.what());
  }
  out_ << inst->name << ".pixel(" << px << ", " << py << ") = " << pixelValue(pixels[size_t(py) * w32 + px]) << '\n';
}

void Host::cmdFree(const Words& w, int line) {
  // A call still running on the instance keeps it alive until it returns.
  if (!instances_.erase(w[1].text)) syntax(line, "no instance named " + kyv::quoteForMessage(w[1].text));
}

}  // namespace kyvhost
