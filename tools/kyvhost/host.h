#pragma once
// The kyvhost interpreter: one command a line, its language and output as docs/kyvhost.md
// describes them. Every failure of a control is printed and the script goes on.
#include <cstddef>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "kyv/bag.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/registry.h"
#include "kyv/site.h"
#include "words.h"

namespace kyvhost {

class Host;

// One named control instance and its event handlers.
struct Instance final : kyv::Site {
  Instance(Host& host, std::string name) : host(host), name(std::move(name)) {}
  void eventRaised(kyv::Control& control, const kyv::EventInfo& event) override;
  void propertyChanged(kyv::Control& control, std::string_view property) override;

  struct Handler {
    std::vector<Word> command;
    int line;
  };
  Host& host;
  std::string name;
  kyv::ControlPtr control;
  std::map<int, Handler> handlers;  // by event number
};

// The longest script line a host reads; a longer one is refused whole.
inline constexpr size_t kMaxLineBytes = 65536;

// Where the files a script names (restore, save, render) may be: anywhere; nowhere, for
// scripts from untrusted sources (those commands are refused); or only in `folder`, named
// by a plain file name without a folder part, for a fuzzer working in a folder of its own.
struct FileAccess {
  enum class Mode { Anywhere, None, InFolder };
  Mode mode = Mode::Anywhere;
  std::string folder;
};

class Host {
 public:
  using Words = std::vector<Word>;
  // One command of the language. A line runs it when `least` or `most` words follow its
  // name (any number from `least` when `most` is kAnyCount); otherwise it prints
  // "usage: " and its usage.
  struct Command {
    static constexpr size_t kAnyCount = SIZE_MAX;
    std::string_view name;
    std::string_view parameters;  // as the usage line shows them: "NAME CLASS [W H]"
    size_t least, most;
    std::string_view does;  // one line for --help
    void (Host::*run)(const Words& w, int line);
    bool usesFiles = false;  // refused when the host has no file access
    // "new NAME CLASS [W H]"
    std::string usage() const;
  };
  // The commands in the order --help lists them.
  static std::span<const Command> commands();

  Host(kyv::Registry& registry, std::ostream& out, double twipsPerPixel, FileAccess files = {})
      : registry_(registry), out_(out), tpp_(twipsPerPixel), files_(std::move(files)) {}
  ~Host();

  // Runs every line of `in`, numbered from 1; a line longer than kMaxLineBytes is refused
  // with a syntax message (and never held whole). Returns why a file stream could not be
  // read to its end (a folder, an I/O error), or nothing when it was; the lines before ran.
  std::optional<std::string> runScript(std::istream& in);
  // Runs one script line; `line` numbers it in syntax messages.
  void runLine(std::string_view text, int line);
  // True when every line so far was understood.
  bool understood() const { return understood_; }

 private:
  void readLines(std::streambuf& source);
  friend struct Instance;
  void execute(const Words& w, int line);
  void syntax(int line, const std::string& message);
  void error(const std::string& who, const std::string& member, const kyv::Error& e);
  std::shared_ptr<Instance> instance(const Words& w, size_t at, int line);
  // Member index by name or "#0x68030001", and in `shown` the name the output gives it;
  // -1 (after printing the error) when the control has no such member.
  int bindMember(Instance& inst, const Word& member, std::string& shown);
  // The steps set, get and call share: the value of word 3 when there is one, the
  // instance of word 1, its member of word 2, then use(instance, member, shown, value)
  // with an error it raises printed as the member's. Returns early after a message.
  template <class Use>
  void withMember(const Words& w, int line, Use&& use);
  // The path FILE names under the host's FileAccess; nullopt (after a syntax message) when
  // it may not be used.
  std::optional<std::string> filePath(const Word& file, int line);
  // Runs WriteProperties into `bag`; false (after printing the error) when it fails.
  bool writeProperties(Instance& inst, kyv::PropertyBag& bag);

  void create(const Words& w, int line, bool restore);
  void cmdNew(const Words& w, int line) { create(w, line, false); }
  void cmdRestore(const Words& w, int line) { create(w, line, true); }
  void cmdSet(const Words& w, int line);
  void cmdGet(const Words& w, int line);
  void cmdCall(const Words& w, int line);
  void cmdResize(const Words& w, int line);
  void cmdSave(const Words& w, int line);
  void cmdBag(const Words& w, int line);
  void cmdDump(const Words& w, int line);
  void cmdMembers(const Words& w, int line);
  void cmdOn(const Words& w, int line);
  void cmdRender(const Words& w, int line);
  void cmdPixel(const Words& w, int line);
  void cmdFree(const Words& w, int line);
  void cmdLibraries(const Words& w, int line);
  void cmdClasses(const Words& w, int line);

  kyv::Registry& registry_;
  std::ostream& out_;
  double tpp_;
  FileAccess files_;
  bool understood_ = true;
  int depth_ = 0;
  std::map<std::string, std::shared_ptr<Instance>> instances_;
};

// Writes the element dump of `control`, every line prefixed with `prefix`; `path`
// (possibly empty) limits it to one element or array. Returns false when `path` names
// no element.
bool dumpControl(std::ostream& out, const std::string& prefix, kyv::Control& control, std::string_view path);

}  // namespace kyvhost
