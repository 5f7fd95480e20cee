# Warning and sanitizer flags shared by every target of the project.
add_library(kiln_options INTERFACE)
target_compile_options(kiln_options INTERFACE -Wall -Wextra -Wpedantic)
if(KILN_WERROR)
  target_compile_options(kiln_options INTERFACE -Werror)
endif()
if(KILN_SANITIZE)
  target_compile_options(kiln_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kiln_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(KILN_FUZZ)
  target_compile_options(kiln_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(kiln_options INTERFACE -fsanitize=address,undefined)
endif()
