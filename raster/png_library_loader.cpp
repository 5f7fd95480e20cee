#include "raster/png_library_loader.h"

#include <dlfcn.h>

#include <memory>

namespace {

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};

// The library with all of its functions, or nothing.
class LibpngLibrary {
 public:
  LibpngLibrary() : handle_(dlopen(KILN_LIBPNG_SONAME, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) return;
    bool all = true;
#define KILN_LIBPNG_RESOLVE(name) all = Resolve(api_.name, #name) && all;
    KILN_LIBPNG_FUNCTIONS(KILN_LIBPNG_RESOLVE)
#undef KILN_LIBPNG_RESOLVE
    if (!all) {
      api_ = {};
      handle_.reset();
    }
  }

  const LibpngApi* Api() const { return handle_ ? &api_ : nullptr; }

 private:
  template <typename Function>
  bool Resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(dlsym(handle_.get(), name));
    return function != nullptr;
  }

  std::unique_ptr<void, LibraryCloser> handle_;
  LibpngApi api_;
};

}  // namespace

const LibpngApi* LoadLibpng() {
  // Never destroyed, so never closed: an image may be written from a static
  // object's destructor after this would have been destroyed at exit.
  static const LibpngLibrary* const library = new LibpngLibrary;
  return library->Api();
}
