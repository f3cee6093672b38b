# GoogleTest built from Debian's sources with our toolchain; one ctest entry per test executable.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# zel_add_test(<name> SOURCES <files...> LIBS <targets...> [WINDOW_TESTS <gtest filter>])
# WINDOW_TESTS names every test that makes windows: a second entry, <name>_without_display, runs
# them with no display and checks that they fail under CI and skip otherwise
# (cmake/WithoutDisplay.cmake).
function(zel_add_test name)
  cmake_parse_arguments(ARG "" "WINDOW_TESTS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(ARG_WINDOW_TESTS)
    add_test(NAME ${name}_without_display
             COMMAND ${CMAKE_COMMAND} -DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR} -DPROGRAM=$<TARGET_FILE:${name}>
                     "-DFILTER=${ARG_WINDOW_TESTS}" -P ${PROJECT_SOURCE_DIR}/cmake/WithoutDisplay.cmake)
  endif()
endfunction()
