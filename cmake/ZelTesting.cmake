# GoogleTest built from Debian's sources with our toolchain; one ctest entry per test executable.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Every test program ends itself, with the hung test's name and its threads' stacks, when one test
# runs past its time limit.
add_library(ZelTestWatchdog OBJECT ${PROJECT_SOURCE_DIR}/ZELCommon/tests/HangWatchdog.cpp)
target_link_libraries(ZelTestWatchdog PRIVATE GTest::gtest)

# zel_add_test(<name> [WINDOWS] SOURCES <files...> LIBS <targets...>)
# WINDOWS: the tests open windows and menus. They take the display in turn: a window of another
# test process taking the activation would close an open menu under a test.
function(zel_add_test name)
  cmake_parse_arguments(ARG "WINDOWS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} $<TARGET_OBJECTS:ZelTestWatchdog>)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(ARG_WINDOWS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()
