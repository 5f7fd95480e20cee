#include "platform/harfbuzz_loader.h"

#include <dlfcn.h>

#include <memory>

namespace {

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};

// The library with all of its functions, or nothing.
class HarfBuzzLibrary {
 public:
  HarfBuzzLibrary() : handle_(dlopen("libharfbuzz.so.0", RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) return;
    bool all = true;
#define KILN_HARFBUZZ_RESOLVE(name) all = Resolve(api_.name, #name) && all;
    KILN_HARFBUZZ_FUNCTIONS(KILN_HARFBUZZ_RESOLVE)
#undef KILN_HARFBUZZ_RESOLVE
    if (!all) {
      api_ = {};
      handle_.reset();
    }
  }

  const HarfBuzzApi* Api() const { return handle_ ? &api_ : nullptr; }

 private:
  template <typename Function>
  bool Resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(handle_.get(), name));
    return function != nullptr;
  }

  std::unique_ptr<void, LibraryCloser> handle_;
  HarfBuzzApi api_;
};

}  // namespace

const HarfBuzzApi* LoadHarfBuzz() {
  // Never destroyed, so never closed: a font held by a static object may still
  // free HarfBuzz objects after this would have been destroyed at exit.
  static const HarfBuzzLibrary* const library = new HarfBuzzLibrary;
  return library->Api();
}
