# Delay-loaded system libraries: the program starts without them and each is loaded at its first
# call. Under Wine, libraries such as secur32, crypt32 and shell32 cost tens of milliseconds each to
# load, for features (secure connections, the tray, the shell) that the first window does not need.
#
# zel_delay_imports(<target> <library>...) builds, once, a delay-import library for each system
# library from the export list of mingw's own import library, and puts it first in the target's
# library search path, so the target's "-l<library>" (its own or a dependency's) finds it.
find_program(ZEL_MINGW_NM NAMES ${ZEL_MINGW_TRIPLE}-nm REQUIRED)
find_program(ZEL_MINGW_DLLTOOL NAMES ${ZEL_MINGW_TRIPLE}-dlltool REQUIRED)
set(ZEL_DELAY_IMPORTS_DIR ${CMAKE_BINARY_DIR}/delayimp)

function(zel_delay_imports target)
  foreach(library ${ARGN})
    set(delaylib ${ZEL_DELAY_IMPORTS_DIR}/lib${library}.a)
    if(NOT EXISTS ${delaylib})
      execute_process(COMMAND ${ZEL_MINGW_NM} /usr/${ZEL_MINGW_TRIPLE}/lib/lib${library}.a
                      OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "no import library for ${library}")
      endif()
      string(REGEX MATCHALL " I __imp_[A-Za-z0-9_@?$]+" imports "${symbols}")
      list(TRANSFORM imports REPLACE " I __imp_" "")
      list(REMOVE_DUPLICATES imports)
      list(JOIN imports "\n" exports)
      file(WRITE ${ZEL_DELAY_IMPORTS_DIR}/${library}.def "LIBRARY ${library}.dll\nEXPORTS\n${exports}\n")
      execute_process(COMMAND ${ZEL_MINGW_DLLTOOL} --input-def ${ZEL_DELAY_IMPORTS_DIR}/${library}.def
                              --output-delaylib ${delaylib} --dllname ${library}.dll
                      RESULT_VARIABLE failed)
      if(failed)
        message(FATAL_ERROR "could not make the delay-import library of ${library}")
      endif()
    endif()
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${ZEL_DELAY_IMPORTS_DIR})
  target_link_libraries(${target} PRIVATE ${ARGN} delayimp)
endfunction()
