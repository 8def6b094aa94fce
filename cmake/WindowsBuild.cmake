# Windows builds (win64 runs under wine64 in the tests, win32 is the shipping build).
# Everything links statically so that the executables import system DLLs only.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501 WINVER=0x0501)
add_link_options(-static -static-libgcc -static-libstdc++)

# The system's own code: no exceptions, no run-time type information.
set(SYSTEM_CODE_FLAGS -fno-exceptions -fno-rtti)

function(add_portable_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()
