// Objects of FreeType, fontconfig and HarfBuzz, each destroyed by its own
// library's function.
#pragma once

#include <memory>

template <auto Destroy>
struct DestroyWith {
  template <typename T>
  void operator()(T* object) const {
    static_cast<void>(Destroy(object));
  }
};

template <typename T, auto Destroy>
using OwnedBy = std::unique_ptr<T, DestroyWith<Destroy>>;
