# Section-3 manual pages of the C interface: Doxygen's reference of tavrix.h
# as one page, split by docs/man_pages.py into tavrix.h(3) and a page per
# function (TVX_Open(3), ...). Built when Doxygen and Python are there;
# installed with the development files.
find_program(TVX_MAN_DOXYGEN doxygen)
find_package(Python3 COMPONENTS Interpreter)
if(WIN32 OR NOT TVX_MAN_DOXYGEN OR NOT Python3_Interpreter_FOUND)
  message(STATUS "Section-3 manual pages: not built (needs doxygen and python3)")
  return()
endif()

set(TVX_MAN3_DIR ${CMAKE_BINARY_DIR}/man/man3)
set(TVX_MAN3_STAMP ${CMAKE_BINARY_DIR}/man/man3.stamp)
file(WRITE ${CMAKE_BINARY_DIR}/doxygen-man/Doxyfile
  "@INCLUDE = docs/Doxyfile\n"
  "INPUT = include/tavrix.h\n"
  "OUTPUT_DIRECTORY = ${CMAKE_BINARY_DIR}/doxygen-man\n"
  "GENERATE_HTML = NO\n"
  "GENERATE_MAN = YES\n"
  "MAN_EXTENSION = .3\n"
  "MAN_LINKS = NO\n"
  # A documentation warning fails the reference_docs test, not the build.
  "WARN_AS_ERROR = NO\n"
  "QUIET = YES\n"
  "WARNINGS = NO\n")
add_custom_command(OUTPUT ${TVX_MAN3_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${TVX_MAN3_DIR} ${CMAKE_BINARY_DIR}/doxygen-man/man
  COMMAND ${TVX_MAN_DOXYGEN} ${CMAKE_BINARY_DIR}/doxygen-man/Doxyfile
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/docs/man_pages.py
          ${CMAKE_BINARY_DIR}/doxygen-man/man/man3/tavrix.h.3 ${TVX_MAN3_DIR} ${PROJECT_VERSION}
  COMMAND ${CMAKE_COMMAND} -E touch ${TVX_MAN3_STAMP}
  DEPENDS ${CMAKE_SOURCE_DIR}/include/tavrix.h ${CMAKE_SOURCE_DIR}/docs/Doxyfile
          ${CMAKE_SOURCE_DIR}/docs/doxygen_filter.py ${CMAKE_SOURCE_DIR}/docs/man_pages.py
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  COMMENT "Writing the section-3 manual pages of tavrix.h")
add_custom_target(tavrix-man3 ALL DEPENDS ${TVX_MAN3_STAMP})

install(DIRECTORY ${TVX_MAN3_DIR}/ DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
  COMPONENT Development FILES_MATCHING PATTERN "*.3.gz")
