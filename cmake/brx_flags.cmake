# Flags shared by every target of a preset, and helpers for our own targets.
# Options are limited to C and C++: windres (RC) rejects compiler flags.
set(brx_cc "$<COMPILE_LANGUAGE:C,CXX>")

# No RTTI anywhere, GoogleTest included. The library is built without it, and
# a test class deriving from a library class whose vtable was emitted without
# RTTI fails to link ("undefined typeinfo"). One setting for all code avoids it.
add_compile_options("$<${brx_cc}:-fno-rtti>")

if(BRX_SANITIZE)
  add_compile_options("$<${brx_cc}:-fsanitize=address,undefined;-fno-sanitize-recover=all;-fno-omit-frame-pointer>")
  add_link_options(-fsanitize=address,undefined)
endif()

if(BRX_TSAN)
  add_compile_options("$<${brx_cc}:-fsanitize=thread;-fno-omit-frame-pointer>")
  add_link_options(-fsanitize=thread)
endif()

if(BRX_FUZZ)
  # Everything gets coverage instrumentation; only the fuzzers link libFuzzer's main.
  add_compile_options("$<${brx_cc}:-fsanitize=fuzzer-no-link,address,undefined;-fno-sanitize-recover=all;-fno-omit-frame-pointer>")
  add_link_options(-fsanitize=address,undefined)
endif()

if(BRX_WIN32)
  # Programs run on a bare Windows (or Wine) with no MinGW runtime DLLs.
  add_compile_options("$<${brx_cc}:-ffunction-sections;-fdata-sections>")
  add_link_options(-static -static-libgcc -static-libstdc++ -Wl,--gc-sections)
endif()

# Our own code: warnings are errors.
function(brx_strict target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_options(${target} PRIVATE "$<${brx_cc}:-Wall;-Wextra;-Werror>")
endfunction()

# The library and PATCH.EXE: no exceptions (RTTI is off everywhere), so the
# shipped program carries no unwinding tables or handlers it never uses.
function(brx_no_exceptions target)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_options(${target} PRIVATE "$<${brx_cc}:-fno-exceptions>")
  if(BRX_WIN32)
    # i686 GCC emits .eh_frame for every function even without exceptions.
    target_compile_options(${target} PRIVATE "$<${brx_cc}:-fno-asynchronous-unwind-tables>")
  endif()
endfunction()

# Shipped Windows programs lose their symbol tables.
function(brx_strip target)
  if(BRX_WIN32)
    target_link_options(${target} PRIVATE -s)
  endif()
endfunction()
