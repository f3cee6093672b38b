# libpng, built by the setup (scripts/libpng.sh) from Debian's source package into the build folder,
# and the mingw zlib under it, both linked statically.
set(ZEL_LIBPNG_DIR ${CMAKE_BINARY_DIR}/libpng/install CACHE PATH "libpng built for the target")
if(NOT EXISTS ${ZEL_LIBPNG_DIR}/lib/libpng16.a)
  message(FATAL_ERROR "libpng is not built in ${ZEL_LIBPNG_DIR}: run ./scripts/test.sh or ./scripts/run.sh, "
                      "whose setup builds it from Debian's source package")
endif()
add_library(ZelLibpng STATIC IMPORTED GLOBAL)
set_target_properties(ZelLibpng PROPERTIES
  IMPORTED_LOCATION ${ZEL_LIBPNG_DIR}/lib/libpng16.a
  INTERFACE_INCLUDE_DIRECTORIES ${ZEL_LIBPNG_DIR}/include
  INTERFACE_LINK_LIBRARIES /usr/x86_64-w64-mingw32/lib/libz.a)
