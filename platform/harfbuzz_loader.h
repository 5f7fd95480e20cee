// HarfBuzz, opened at run time the first time kerning is asked for: a program
// linked against it would load it and its own dependencies (glib, graphite2,
// pcre2) at every start, which costs more than a short caption takes.
#pragma once

#include <hb-ft.h>
#include <hb-ot.h>
#include <hb.h>

// Every function the kerning calls; each is looked up by this name.
#define KILN_HARFBUZZ_FUNCTIONS(X)      \
  X(hb_blob_destroy)                    \
  X(hb_blob_get_length)                 \
  X(hb_buffer_add_utf32)                \
  X(hb_buffer_allocation_successful)    \
  X(hb_buffer_clear_contents)           \
  X(hb_buffer_create)                   \
  X(hb_buffer_destroy)                  \
  X(hb_buffer_get_glyph_infos)          \
  X(hb_buffer_get_glyph_positions)      \
  X(hb_buffer_set_direction)            \
  X(hb_buffer_set_script)               \
  X(hb_face_destroy)                    \
  X(hb_face_get_upem)                   \
  X(hb_face_reference_table)            \
  X(hb_font_create)                     \
  X(hb_font_destroy)                    \
  X(hb_font_get_glyph_h_advance)        \
  X(hb_font_get_nominal_glyph)          \
  X(hb_font_set_scale)                  \
  X(hb_ft_face_create_referenced)       \
  X(hb_ot_font_set_funcs)               \
  X(hb_ot_layout_collect_lookups)       \
  X(hb_ot_layout_lookup_collect_glyphs) \
  X(hb_ot_shape_plan_collect_lookups)   \
  X(hb_set_create)                      \
  X(hb_set_destroy)                     \
  X(hb_set_has)                         \
  X(hb_set_is_empty)                    \
  X(hb_set_next)                        \
  X(hb_set_subtract)                    \
  X(hb_shape_plan_create)               \
  X(hb_shape_plan_destroy)              \
  X(hb_shape_plan_execute)              \
  X(hb_unicode_funcs_get_default)       \
  X(hb_unicode_script)

// Pointers typed from the headers, so a call that does not match them does
// not compile.
struct HarfBuzzApi {
#define KILN_HARFBUZZ_POINTER(name) decltype(&::name) name = nullptr;
  KILN_HARFBUZZ_FUNCTIONS(KILN_HARFBUZZ_POINTER)
#undef KILN_HARFBUZZ_POINTER
};

// Opens libharfbuzz.so.0 on the first call. Null, on that call and every later
// one, when the library or any of the functions is missing.
const HarfBuzzApi* LoadHarfBuzz();
