# What `cmake --install` puts in place: the header, the shared library (with
# its versioned name and the development link), tvx, tavrix-sim, a CMake
# package giving tavrix::tavrix, a pkg-config file, the manual pages and the
# Wireshark dissector. The package files compute their paths from their own
# location, so an installed tree can be moved. Components: Runtime (the
# library), Development (headers, link, package files, section-3 pages),
# Tools (the programs, their pages, completion and the dissector).
include(CMakePackageConfigHelpers)

install(TARGETS tavrix EXPORT tavrixTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development)
install(FILES ${CMAKE_SOURCE_DIR}/include/tavrix.h ${CMAKE_SOURCE_DIR}/include/tavrix.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(TARGETS tvx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)

set(TVX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tavrix)
install(EXPORT tavrixTargets NAMESPACE tavrix:: DESTINATION ${TVX_CMAKE_DIR} COMPONENT Development)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/package/tavrixConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/tavrixConfig.cmake INSTALL_DESTINATION ${TVX_CMAKE_DIR})
# Any 1.x library serves a caller built for an older 1.x.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/tavrixConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/tavrixConfig.cmake ${CMAKE_BINARY_DIR}/package/tavrixConfigVersion.cmake
  DESTINATION ${TVX_CMAKE_DIR} COMPONENT Development)

if(NOT WIN32)
  set(TVX_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  # The prefix relative to the .pc file, e.g. "../.." for lib/pkgconfig;
  # an absolute library directory pins the prefix instead.
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(TVX_PC_PREFIX_LINE "prefix=${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH TVX_PC_PREFIX /prefix/${TVX_PC_DIR} /prefix)
    set(TVX_PC_PREFIX_LINE "prefix=\${pcfiledir}/${TVX_PC_PREFIX}")
  endif()
  cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_LIBDIR BASE_DIRECTORY "\${prefix}" OUTPUT_VARIABLE TVX_PC_LIBDIR)
  cmake_path(ABSOLUTE_PATH CMAKE_INSTALL_INCLUDEDIR BASE_DIRECTORY "\${prefix}" OUTPUT_VARIABLE TVX_PC_INCLUDEDIR)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/package/tavrix.pc.in ${CMAKE_BINARY_DIR}/package/tavrix.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/tavrix.pc DESTINATION ${TVX_PC_DIR} COMPONENT Development)
endif()

# tvx's manual page and bash completion (generated at build time), where
# man and bash-completion look for them.
if(TVX_MAN_PAGE)
  install(FILES ${TVX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Tools)
  install(FILES ${TVX_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT Tools)
endif()

# The Wireshark dissector, where Wireshark looks for global Lua plugins
# (lib/<multiarch>/wireshark/plugins under /usr on Debian).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(TVX_WIRESHARK_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(TVX_WIRESHARK_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(TVX_WIRESHARK_PLUGIN_DIR ${TVX_WIRESHARK_LIBDIR}/wireshark/plugins CACHE STRING
  "Where the Wireshark dissector tavrix.lua is installed, relative to the prefix")
install(FILES ${CMAKE_SOURCE_DIR}/tools/wireshark/tavrix.lua DESTINATION ${TVX_WIRESHARK_PLUGIN_DIR} COMPONENT Tools)
