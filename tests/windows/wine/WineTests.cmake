# Tests that run Windows programs under Wine, each build tree in a Wine
# session of its own: the wine_session_start test creates the build's prefix
# (64-bit, with its 32-bit side) on first use, starts a virtual X display and a
# persistent wineserver, and starts the probe program of the build's
# architecture once; wine_session_stop ends both. Every test of the tier
# requires the fixture, and reports itself skipped (77) where the probe found
# that this machine cannot run the build's programs.
include(GoogleTest)

set(WINE_SCRIPTS ${CMAKE_CURRENT_LIST_DIR})
set(WINE_DRIVER bash ${WINE_SCRIPTS}/run_in_wine.sh ${CMAKE_BINARY_DIR})
math(EXPR WINE_POINTER_BITS "${CMAKE_SIZEOF_VOID_P} * 8")

add_executable(wine_probe ${WINE_SCRIPTS}/wine_probe.cpp)
add_test(NAME wine_session_start
  COMMAND bash ${WINE_SCRIPTS}/wine_session.sh start ${CMAKE_BINARY_DIR}
          $<TARGET_FILE:wine_probe> ${WINE_POINTER_BITS})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine_session TIMEOUT 600)
add_test(NAME wine_session_stop COMMAND bash ${WINE_SCRIPTS}/wine_session.sh stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine_session TIMEOUT 60)

# add_wine_gtest(<target> <sources>...): a GoogleTest program whose every test
# becomes a test of its own, run in the Wine session.
function(add_wine_gtest target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE gtest gtest_main)
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${WINE_DRIVER}")
  gtest_add_tests(TARGET ${target} SOURCES ${ARGN} TEST_LIST discovered)
  set_tests_properties(${discovered} PROPERTIES FIXTURES_REQUIRED wine_session TIMEOUT 120
                       SKIP_RETURN_CODE 77)
endfunction()

# add_wine_script_test(<name> <script> [arguments...]): a bash script that
# drives Windows programs through run_in_wine.sh; it gets the build tree first,
# and the host eek as HOST_EEK in its environment (installer_facts.sh asks it
# where the installer unpacks). A script may also report itself skipped with
# 77 (a mount it may not make).
function(add_wine_script_test name script)
  add_test(NAME ${name}
    COMMAND bash ${WINE_SCRIPTS}/wine_test.sh ${CMAKE_BINARY_DIR} ${script} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session TIMEOUT 180
                       SKIP_RETURN_CODE 77 ENVIRONMENT HOST_EEK=${HOST_EEK})
endfunction()

# mark_complete_tier_only(<tests>...): Wine runs that the 64-bit build leaves
# to the shipping 32-bit build, which runs the whole tier. The 64-bit build
# keeps a representative set (the unit tier, the worked layouts, the fresh
# run): scripts/test.sh leaves out the label "complete_tier" of win64 when the
# win32 tier could run, and runs it where this machine cannot run 32-bit code.
function(mark_complete_tier_only)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set_tests_properties(${ARGN} PROPERTIES LABELS complete_tier)
  endif()
endfunction()
