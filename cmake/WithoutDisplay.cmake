# Runs a test program's window tests with no display, as a CI machine without an X server would:
# under CI (CI=true) every one of them must fail, since a skipped test counts as passed; in a
# developer's run (no CI) every one must skip and the program pass.
#
#   cmake -DEMULATOR=<wine> -DPROGRAM=<test program> -DFILTER=<gtest filter> -P WithoutDisplay.cmake
foreach(variable EMULATOR PROGRAM FILTER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "WithoutDisplay.cmake needs -D${variable}=...")
  endif()
endforeach()

function(run_without_display ci_value result_var output_var)
  if(ci_value)
    set(ci_setting CI=${ci_value})
  else()
    set(ci_setting --unset=CI)
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY ${ci_setting}
            ${EMULATOR} ${PROGRAM} --gtest_color=no "--gtest_filter=${FILTER}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output TIMEOUT 300)
  set(${result_var} "${result}" PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

# A run that ran no test at all proves nothing: the filter must name tests that exist.
function(expect_some_ran output)
  if(NOT output MATCHES "\\[==========\\] ([1-9][0-9]*) tests? from")
    message(FATAL_ERROR "no window test ran (filter '${FILTER}'):\n${output}")
  endif()
endfunction()

run_without_display(true result output)
expect_some_ran("${output}")
if(result EQUAL 0 OR NOT output MATCHES "\\[  PASSED  \\] 0 tests" OR output MATCHES "\\[  SKIPPED \\]")
  message(FATAL_ERROR "under CI, window tests without a display must fail, none skip or pass:\n${output}")
endif()

run_without_display("" result output)
expect_some_ran("${output}")
if(NOT result EQUAL 0 OR NOT output MATCHES "\\[  PASSED  \\] 0 tests" OR output MATCHES "\\[  FAILED  \\]")
  message(FATAL_ERROR "outside CI, window tests without a display must skip, and the run pass:\n${output}")
endif()
message(STATUS "window tests without a display: fail under CI, skip otherwise")
