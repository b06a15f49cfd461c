# Windows settings of the library targets; see windows.cmake.

# The version resource, carrying the project's version; it also goes into
# every program that links the library statically, so that the version
# query finds it in whichever module holds the library's code.
configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_BINARY_DIR}/tavrix_version.rc @ONLY)
add_library(tavrix_version_resource OBJECT ${CMAKE_BINARY_DIR}/tavrix_version.rc)
target_link_libraries(tavrix_internal INTERFACE $<TARGET_OBJECTS:tavrix_version_resource>)

# The export list, made from the public header at every build so that it
# never drifts from it: each declared name, decorated as the compiler
# emitted it (stdcall names carry @<bytes> on 32-bit), plus the component
# server entry points.
set(TVX_DEF_FILE ${CMAKE_BINARY_DIR}/tavrix.def)
add_custom_command(OUTPUT ${TVX_DEF_FILE}
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DARCHIVE=$<TARGET_FILE:tavrix_internal>
          -DHEADER=${CMAKE_SOURCE_DIR}/include/tavrix.h -DOUTPUT=${TVX_DEF_FILE}
          -P ${CMAKE_SOURCE_DIR}/cmake/make_def.cmake
  DEPENDS tavrix_internal $<TARGET_FILE:tavrix_internal> ${CMAKE_SOURCE_DIR}/include/tavrix.h
          ${CMAKE_SOURCE_DIR}/cmake/make_def.cmake
  COMMENT "Generating tavrix.def from tavrix.h"
  VERBATIM)
add_custom_target(tavrix_def DEPENDS ${TVX_DEF_FILE})
add_dependencies(tavrix tavrix_def)

target_sources(tavrix PRIVATE $<TARGET_OBJECTS:tavrix_version_resource>)
# tavrix.dll and its import library libtavrix.dll.a. On 32-bit, --kill-at
# strips the @<bytes> of stdcall names from the exports while the import
# library keeps them for callers compiled with the header.
set_target_properties(tavrix PROPERTIES PREFIX "" LINK_DEPENDS ${TVX_DEF_FILE})
target_link_options(tavrix PRIVATE ${TVX_DEF_FILE} -Wl,--kill-at -Wl,--disable-auto-import)

# ld's own import library loses the @<bytes> of stdcall names under
# --kill-at, so 32-bit callers compiled with the header could not link
# against it. dlltool makes it from the decorated .def instead: decorated
# symbols for the callers, plain names for the loader.
add_custom_command(TARGET tavrix POST_BUILD
  COMMAND ${TVX_MINGW_TRIPLE}-dlltool --kill-at --def ${TVX_DEF_FILE} --dllname tavrix.dll
          --output-lib $<TARGET_LINKER_FILE:tavrix>
  VERBATIM)
