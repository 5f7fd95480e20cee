#include "platform/font_library_loader.h"

#include <dlfcn.h>

#include <memory>

namespace {

struct LibraryCloser {
  void operator()(void* handle) const { dlclose(handle); }
};

template <typename Function>
bool Resolve(void* handle, Function& function, const char* name) {
  function = reinterpret_cast<Function>(dlsym(handle, name));
  return function != nullptr;
}

#define KILN_FONT_LIBRARY_RESOLVE(name) all = Resolve(handle, api.name, #name) && all;

bool ResolveAll(void* handle, FreeTypeApi& api) {
  bool all = true;
  KILN_FREETYPE_FUNCTIONS(KILN_FONT_LIBRARY_RESOLVE)
  return all;
}

bool ResolveAll(void* handle, FontconfigApi& api) {
  bool all = true;
  KILN_FONTCONFIG_FUNCTIONS(KILN_FONT_LIBRARY_RESOLVE)
  return all;
}

#undef KILN_FONT_LIBRARY_RESOLVE

// A library with all of its functions, or nothing.
template <typename Api>
class Library {
 public:
  explicit Library(const char* soname) : handle_(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ && !ResolveAll(handle_.get(), api_)) {
      api_ = {};
      handle_.reset();
    }
  }

  const Api* GetApi() const { return handle_ ? &api_ : nullptr; }

 private:
  std::unique_ptr<void, LibraryCloser> handle_;
  Api api_;
};

}  // namespace

// Never destroyed, so never closed: a font held by a static object may still
// free FreeType and fontconfig objects after these would have been destroyed
// at exit.
const FreeTypeApi* LoadFreeType() {
  static const Library<FreeTypeApi>* const library = new Library<FreeTypeApi>("libfreetype.so.6");
  return library->GetApi();
}

const FontconfigApi* LoadFontconfig() {
  static const Library<FontconfigApi>* const library = new Library<FontconfigApi>("libfontconfig.so.1");
  return library->GetApi();
}
