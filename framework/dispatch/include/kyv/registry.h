#pragma once
// Registry: creates controls by class name ("Lib.Gauge"). Class names map to
// control libraries through a registration file that the libraries' own entry points
// write (see plugin.h and the kyvreg tool); it records each library's path relative to
// its own folder. A library is opened when its first instance is created and closed when
// its last instance is gone. A class name is never turned into a file path: only
// libraries named in the registration file are ever opened.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <algorithm>

#include "kyv/elements.h"
#include "kyv/export.h"

namespace kyv {

class ClassInfo;
class Control;
class Registry;

// What a library hands out for one class.
struct ClassFactory {
  const ClassInfo* info;
  Control* (*create)(Registry& registry);
  void (*destroy)(Control* control);
};

// One class of a registration file.
struct RegisteredClass {
  std::string className;  // as registered: "Lib.Gauge"
  std::string library;    // the library's name: "Lib"
  std::string path;       // the library file, resolved against the registration file's folder
};

class KYV_API Registry {
 public:
  // Uses `registrationFile`, or the default file when empty: this is how a host chooses
  // another set of controls than the one installed beside the framework.
  explicit Registry(std::string registrationFile = {});
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  // "kyv/kyvregistry.json" in the framework library's folder, where the control libraries
  // are installed and built ("lib/kyv/kyvregistry.json").
  static std::string defaultRegistrationFile();
  const std::string& registrationFile() const { return file_; }

  // A new instance; raises cannot-create-object with a message naming the class and the
  // reason (registration file missing, unreadable or corrupt; class not registered, with
  // the nearest registered names; library missing or foreign; class refused).
  ControlPtr create(std::string_view className);
  // Runs `fn` on the class's type info; the library is closed again afterwards unless
  // instances of it live.
  void describe(std::string_view className, const std::function<void(const ClassInfo&)>& fn);
  // Names of the libraries open now ("Lib"), sorted.
  std::vector<std::string> loadedLibraries() const;
  // The classes the registration file lists now, sorted by class name; raises
  // cannot-create-object when the file is missing, unreadable or corrupt.
  std::vector<RegisteredClass> registeredClasses() const;

  // Writing the registration file, used by the libraries' entry points, which pass their
  // path relative to the file's folder. `library` is recorded as given.
  static bool registerClasses(const std::string& file, const std::string& library,
                              const std::vector<std::string>& classNames);
  static bool unregisterLibrary(const std::string& file, const std::string& library);

 private:
  struct Library;
  friend struct ControlDeleter;
  Library& open(std::string_view className, const ClassFactory*& factory);
  void release(Library& lib);
  void destroy(Control* control);
  RegisteredClass libraryFor(std::string_view className);

  std::string file_;
  std::map<std::string, RegisteredClass> classes_;             // by folded class name, as last read
  std::map<std::string, std::unique_ptr<Library>> libraries_;  // by path
};

}  // namespace kyv
