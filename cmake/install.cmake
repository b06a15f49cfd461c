# What `cmake --install` puts in place: the header, the shared library (with
# its versioned name and the development link), tvx, a CMake package giving
# tavrix::tavrix and a pkg-config file. The package files compute their
# paths from their own location, so an installed tree can be moved.
include(CMakePackageConfigHelpers)

install(TARGETS tavrix EXPORT tavrixTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/include/tavrix.h ${CMAKE_SOURCE_DIR}/include/tavrix.hpp DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS tvx RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(TVX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tavrix)
install(EXPORT tavrixTargets NAMESPACE tavrix:: DESTINATION ${TVX_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/package/tavrixConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/tavrixConfig.cmake INSTALL_DESTINATION ${TVX_CMAKE_DIR})
# Any 1.x library serves a caller built for an older 1.x.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/tavrixConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/tavrixConfig.cmake ${CMAKE_BINARY_DIR}/package/tavrixConfigVersion.cmake
  DESTINATION ${TVX_CMAKE_DIR})

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
  install(FILES ${CMAKE_BINARY_DIR}/package/tavrix.pc DESTINATION ${TVX_PC_DIR})
endif()

# tvx's manual page and bash completion (generated at build time), where
# man and bash-completion look for them.
if(TVX_MAN_PAGE)
  install(FILES ${TVX_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${TVX_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
