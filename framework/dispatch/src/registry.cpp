#include "kyv/registry.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "kyv/class_info.h"
#include "kyv/control.h"
#include "kyv/error.h"
#include "kyv/files.h"
#include "kyv/names.h"
#include "kyv/plugin.h"
#include "registration_file.h"

namespace kyv {
namespace {

using nlohmann::json;
using GetClassObject = int (*)(const char*, const ClassFactory**);
using CanUnloadNow = int (*)();

[[noreturn]] void cannotCreate(const std::string& why) {
  raise(ErrorKind::CannotCreateObject, "Cannot create object: " + why);
}

bool isIdentifier(std::string_view s) {
  if (s.empty() || s.size() > 64) return false;
  if (!(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

// "Library.Class": two identifiers, nothing that could be read as a path.
bool isClassName(std::string_view name) {
  const size_t dot = name.find('.');
  return dot != std::string_view::npos && isIdentifier(name.substr(0, dot)) && isIdentifier(name.substr(dot + 1));
}

// "; did you mean A or B?" naming the registered classes nearest to `className`, or nothing.
std::string hint(std::string_view className, const std::vector<RegisteredClass>& registered) {
  const std::vector<std::string> near = registration::nearestNames(className, registered);
  if (near.empty()) return {};
  std::string text = "; did you mean ";
  for (size_t i = 0; i < near.size(); ++i) text += (i == 0 ? "" : i + 1 == near.size() ? " or " : ", ") + near[i];
  return text + "?";
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

json readRegistrations(const std::string& text) {
  json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object() || !doc.contains("classes") || !doc["classes"].is_object())
    return json{{"classes", json::object()}};
  return doc;
}

// Opens the registration file and takes the writers' lock on it. A writer replaces the
// file by renaming a new one over it, so a lock taken on the file it replaced holds
// nothing: the lock counts once the path still names the locked file. -1 on failure.
int lockRegistrations(const std::string& file) {
  for (;;) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat locked {
    }, current{};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &locked) != 0) {
      ::close(fd);
      return -1;
    }
    if (::stat(file.c_str(), &current) == 0 && current.st_dev == locked.st_dev && current.st_ino == locked.st_ino)
      return fd;
    ::close(fd);
  }
}

// Runs `edit` on the registration file's JSON under the writers' lock and replaces the
// file with the result: readers, who take no lock, see the old file or the new one.
template <class Edit>
bool editRegistrations(const std::string& file, Edit edit) {
  const int fd = lockRegistrations(file);
  if (fd < 0) return false;
  bool ok = true;
  try {
    json doc = readRegistrations(readFile(file));
    edit(doc["classes"]);
    writeFileAtomically(file, doc.dump(2) + "\n");
  } catch (const std::exception&) {
    ok = false;
  }
  ::close(fd);
  return ok;
}

// Removes every class registered to `library` from the file's "classes" object.
void eraseLibrary(json& classes, const std::string& library) {
  for (auto it = classes.begin(); it != classes.end();)
    it = (it->is_string() && it->get<std::string>() == library) ? classes.erase(it) : std::next(it);
}

std::string ownPath(const void* anchor) {
  Dl_info info{};
  if (!dladdr(anchor, &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

}  // namespace

struct Registry::Library {
  std::string path;
  std::string name;
  void* handle = nullptr;
  GetClassObject getClassObject = nullptr;
  CanUnloadNow canUnloadNow = nullptr;
  int instances = 0;
  // The factory of each class the library made instances of, to destroy them with: one
  // entry a class rather than one an instance.
  std::map<const ClassInfo*, const ClassFactory*> factories;
};

Registry::Registry(std::string registrationFile)
    : file_(registrationFile.empty() ? defaultRegistrationFile() : std::move(registrationFile)) {}

Registry::~Registry() {
  // Libraries with live instances stay mapped: their code may still run.
  for (auto& [path, lib] : libraries_)
    if (lib->instances == 0) dlclose(lib->handle);
}

std::string Registry::defaultRegistrationFile() {
  const std::string self = ownPath(reinterpret_cast<const void*>(&Registry::defaultRegistrationFile));
  return self.substr(0, self.find_last_of('/') + 1) + "kyv/kyvregistry.json";
}

std::vector<RegisteredClass> Registry::registeredClasses() const {
  try {
    return registration::read(file_);
  } catch (const Error& e) {
    cannotCreate(e.what());
  }
}

// The file is read again whenever a class is not found, so libraries registered while the
// host runs become available.
RegisteredClass Registry::libraryFor(std::string_view className) {
  const std::string key = foldedName(className);
  auto it = classes_.find(key);
  if (it != classes_.end()) return it->second;
  std::vector<RegisteredClass> registered;
  try {
    registered = registration::read(file_);
  } catch (const Error& e) {
    cannotCreate("class \"" + std::string(className) + "\" cannot be found: " + e.what());
  }
  classes_.clear();
  for (const RegisteredClass& c : registered) classes_[foldedName(c.className)] = c;
  it = classes_.find(key);
  if (it == classes_.end())
    cannotCreate("class \"" + std::string(className) + "\" is not registered" + hint(className, registered));
  return it->second;
}

Registry::Library& Registry::open(std::string_view className, const ClassFactory*& factory) {
  if (!isClassName(className)) {
    std::string near;
    try {
      near = hint(className, registration::read(file_));
    } catch (const Error&) {
      // The name is wrong whatever the file holds; a file that cannot be read adds no hint.
    }
    cannotCreate(quoteForMessage(className) + " is not a class name of the form Library.Class" + near);
  }
  const RegisteredClass registered = libraryFor(className);
  const std::string& path = registered.path;
  auto it = libraries_.find(path);
  if (it == libraries_.end()) {
    auto lib = std::make_unique<Library>();
    lib->path = path;
    lib->name = registered.library;
    lib->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib->handle) {
      const char* why = dlerror();
      cannotCreate("library " + path + " registered for \"" + std::string(className) +
                   "\" cannot be opened: " + (why ? why : "unknown reason"));
    }
    lib->getClassObject = reinterpret_cast<GetClassObject>(dlsym(lib->handle, "kyv_get_class_object"));
    lib->canUnloadNow = reinterpret_cast<CanUnloadNow>(dlsym(lib->handle, "kyv_can_unload_now"));
    if (!lib->getClassObject || !lib->canUnloadNow || !dlsym(lib->handle, "kyv_register_server") ||
        !dlsym(lib->handle, "kyv_unregister_server")) {
      dlclose(lib->handle);
      cannotCreate("library " + path + " registered for \"" + std::string(className) +
                   "\" is not a Kyv control library");
    }
    it = libraries_.emplace(path, std::move(lib)).first;
  }
  Library& lib = *it->second;
  const std::string name(className);
  if (lib.getClassObject(name.c_str(), &factory) != 0 || !factory) {
    release(lib);
    cannotCreate("library " + path + " does not provide class \"" + name + "\"");
  }
  return lib;
}

void Registry::release(Library& lib) {
  if (lib.instances > 0 || lib.canUnloadNow() != 0) return;
  dlclose(lib.handle);
  libraries_.erase(lib.path);
}

ControlPtr Registry::create(std::string_view className) {
  const ClassFactory* factory = nullptr;
  Library& lib = open(className, factory);
  Control* control = nullptr;
  try {
    control = factory->create(*this);
  } catch (const Error& e) {
    release(lib);
    if (e.kind() == ErrorKind::CannotCreateObject) throw;
    cannotCreate(std::string(className) + ": " + e.what());
  }
  ++lib.instances;
  lib.factories.emplace(&control->classInfo(), factory);
  control->madeByRegistry_ = true;
  return ControlPtr(control);
}

// A control the registry made goes back to the library that made it; one built
// otherwise is deleted.
void Registry::destroy(Control* control) {
  if (control->madeByRegistry_)
    for (auto& [path, lib] : libraries_) {
      auto it = lib->factories.find(&control->classInfo());
      if (it == lib->factories.end()) continue;
      it->second->destroy(control);
      --lib->instances;
      release(*lib);
      return;
    }
  delete control;
}

// The library counts as one more instance while `fn` runs: an instance `fn` creates and
// drops must not close it under `fn` and under this call.
void Registry::describe(std::string_view className, const std::function<void(const ClassInfo&)>& fn) {
  const ClassFactory* factory = nullptr;
  Library& lib = open(className, factory);
  ++lib.instances;
  try {
    fn(*factory->info);
  } catch (...) {
    --lib.instances;
    release(lib);
    throw;
  }
  --lib.instances;
  release(lib);
}

std::vector<std::string> Registry::loadedLibraries() const {
  std::vector<std::string> names;
  for (const auto& [path, lib] : libraries_) names.push_back(lib->name);
  std::sort(names.begin(), names.end());
  return names;
}

bool Registry::registerClasses(const std::string& file, const std::string& library,
                               const std::vector<std::string>& classNames) {
  return editRegistrations(file, [&](json& classes) {
    eraseLibrary(classes, library);
    for (const std::string& name : classNames) classes[name] = library;
  });
}

bool Registry::unregisterLibrary(const std::string& file, const std::string& library) {
  return editRegistrations(file, [&](json& classes) { eraseLibrary(classes, library); });
}

void ControlDeleter::operator()(Control* c) const {
  if (!c) return;
  if (Registry* r = c->registry()) {
    r->destroy(c);
    return;
  }
  delete c;
}

namespace detail {

int registerServer(const char* file, const void* anchor, const ClassFactory* const* factories, int count) {
  try {
    if (!file) return 1;
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.emplace_back(factories[i]->info->className());
    const std::string self = ownPath(anchor);
    return !self.empty() && Registry::registerClasses(file, registration::relativeLibraryPath(file, self), names) ? 0
                                                                                                                  : 1;
  } catch (...) {
    return 1;
  }
}

int unregisterServer(const char* file, const void* anchor) {
  try {
    const std::string self = ownPath(anchor);
    return file && !self.empty() && Registry::unregisterLibrary(file, registration::relativeLibraryPath(file, self))
               ? 0
               : 1;
  } catch (...) {
    return 1;
  }
}

int findFactory(const char* name, const ClassFactory* const* factories, int count, const ClassFactory** out) {
  if (!name || !out) return 1;
  for (int i = 0; i < count; ++i) {
    if (sameName(factories[i]->info->className(), name)) {
      *out = factories[i];
      return 0;
    }
  }
  return 1;
}

}  // namespace detail
}  // namespace kyv
