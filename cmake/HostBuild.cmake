# Host build: the portable core is compiled twice, optimised for the tools and
# benchmarks, and with AddressSanitizer and UndefinedBehaviorSanitizer for the tests.
set(SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

# add_portable_library(NAME SOURCES...) defines NAME and NAME_checked (sanitized).
function(add_portable_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  add_library(${name}_checked STATIC ${ARGN})
  target_include_directories(${name}_checked PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name}_checked PUBLIC ${SANITIZER_FLAGS})
  target_link_options(${name}_checked PUBLIC ${SANITIZER_FLAGS})
endfunction()

find_package(GTest REQUIRED)
include(GoogleTest)
