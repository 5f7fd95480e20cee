// A shared library opened at run time, the first time it is needed, with the
// functions its Api struct lists: all of them found, or the library counts as
// missing. A program linked against such a library would load it, and all it
// depends on, at every start, even for commands that never call it.
#pragma once

#include <dlfcn.h>

// `ResolveAll(library, api)` calls library.Resolve(api.f, "f") for each
// function f and returns whether every one was found. Never closed, and
// trivially destructible, so that a static object's destructor may still
// call into the library at exit.
template <class Api>
class LoadedLibrary {
 public:
  template <class ResolveAll>
  LoadedLibrary(const char* soname, ResolveAll resolveAll) : handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ && !resolveAll(*this, api_)) {
      dlclose(handle_);
      handle_ = nullptr;
      api_ = {};
    }
  }

  // Null when the library or one of its functions is missing.
  const Api* Functions() const { return handle_ ? &api_ : nullptr; }

  template <class Function>
  bool Resolve(Function& function, const char* name) const {
    function = reinterpret_cast<Function>(dlsym(handle_, name));
    return function != nullptr;
  }

 private:
  void* handle_;
  Api api_{};
};

// Resolves every function an X-macro list names into `api`.
#define KILN_RESOLVE_ALL(LIST)                                          \
  [](const auto& library, auto& api) {                                 \
    bool all = true;                                                    \
    LIST(KILN_RESOLVE_ONE)                                              \
    return all;                                                         \
  }
#define KILN_RESOLVE_ONE(name) all = library.Resolve(api.name, #name) && all;
