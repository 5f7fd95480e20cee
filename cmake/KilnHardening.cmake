# Debian's hardening flags in every optimised build, so the release build the
# tests run is what the package ships. Not in Debug (or no build type): the
# fortified calls need the optimiser. Not with the sanitizers or the fuzzer,
# whose own run-time checks these would only get in the way of.
string(TOLOWER "${CMAKE_BUILD_TYPE}" kiln_build_type)
set(KILN_HARDENED OFF)
if(kiln_build_type AND NOT kiln_build_type STREQUAL "debug" AND NOT KILN_SANITIZE AND NOT KILN_FUZZ)
  set(KILN_HARDENED ON)
  # -U first: a compiler or CXXFLAGS that already sets another level would
  # otherwise warn of the redefinition, an error under KILN_WERROR.
  target_compile_options(kiln_options INTERFACE -U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong)
  target_link_options(kiln_options INTERFACE -Wl,-z,relro,-z,now)
endif()
unset(kiln_build_type)
