# Tests that run Windows programs under wine64, each build tree in a Wine
# session of its own: the wine_session_start test creates the build's prefix
# on first use and starts a virtual X display and a persistent wineserver;
# wine_session_stop ends both. Every test of the tier requires the fixture.
include(GoogleTest)

set(WINE_SCRIPTS ${CMAKE_CURRENT_LIST_DIR})
set(WINE_DRIVER bash ${WINE_SCRIPTS}/run_in_wine.sh ${CMAKE_BINARY_DIR})

add_test(NAME wine_session_start COMMAND bash ${WINE_SCRIPTS}/wine_session.sh start ${CMAKE_BINARY_DIR})
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
  set_tests_properties(${discovered} PROPERTIES FIXTURES_REQUIRED wine_session TIMEOUT 120)
endfunction()

# add_wine_script_test(<name> <script> [arguments...]): a bash script that
# drives Windows programs through run_in_wine.sh; it gets the build tree first.
function(add_wine_script_test name script)
  add_test(NAME ${name} COMMAND bash ${script} ${CMAKE_BINARY_DIR} ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session TIMEOUT 180)
endfunction()
