# Debian packages through CPack (make deb, or cpack in a build tree):
#   libtavrix1      the shared library (SONAME libtavrix.so.1) with its shlibs
#   libtavrix-dev   headers, the development link, CMake and pkg-config files
#                   and the section-3 manual pages
#   tavrix-tools    tvx, tavrix-sim, their manual pages, bash completion and
#                   the Wireshark dissector
# Dependencies on system libraries come from dpkg-shlibdeps. Binaries are
# stripped; a tree built with debug information also gets -dbgsym packages
# holding it, apart from the binaries.
if(WIN32)
  return()
endif()

set(TVX_DEB_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(TVX_DEB_RELEASE 1)
set(TVX_DEB_MAINTAINER "tavrix maintainers <maintainers@tavrix.invalid>")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrix)
set(CPACK_PACKAGE_VERSION ${TVX_DEB_VERSION})
set(CPACK_PACKAGE_VENDOR tavrix)
set(CPACK_PACKAGE_CONTACT "${TVX_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/deb)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development Tools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TVX_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TVX_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libtavrix1's shlibs: programs built against 1.x need at least this 1.x.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# With debug information, CPack moves it into PACKAGE-dbgsym .ddeb files
# and strips what it packs; without, the binaries are stripped as installed.
if(CMAKE_BUILD_TYPE MATCHES "^(RelWithDebInfo|Debug)$")
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
else()
  set(CPACK_STRIP_FILES ON)
endif()

set(TVX_DEB_FULL_VERSION ${TVX_DEB_VERSION}-${TVX_DEB_RELEASE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libtavrix1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg runs ldconfig once after all packages of a run are in place.
file(WRITE ${CMAKE_BINARY_DIR}/package/deb-runtime/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package/deb-runtime/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "communication library for Tavrix motion controllers\nThe shared library programs use to talk to Tavrix programmable motion\ncontrollers over Ethernet (UDP), serial lines and PCI cards: commands,\nfiles, variables, registers, I/O, live values, pictures and firmware.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libtavrix-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtavrix1 (= ${TVX_DEB_FULL_VERSION})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "communication library for Tavrix motion controllers - development files\nThe C header tavrix.h, the C++20 layer tavrix.hpp, the link to the shared\nlibrary, a CMake package (tavrix::tavrix), a pkg-config file and a manual\npage per function of the C interface.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME tavrix-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "command-line tool and simulated controller for Tavrix motion controllers\ntvx finds, queries and operates Tavrix controllers from the shell;\ntavrix-sim is a simulated controller for trying and testing without\nhardware. With manual pages, bash completion and a Wireshark dissector.")

# What every Debian package carries: its copyright file and changelog in
# /usr/share/doc/PACKAGE. Left out of a plain cmake --install.
string(TIMESTAMP TVX_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(TVX_DEB_DOC ${CMAKE_BINARY_DIR}/package/deb)
file(MAKE_DIRECTORY ${TVX_DEB_DOC})
configure_file(${CMAKE_SOURCE_DIR}/cmake/package/copyright.in ${TVX_DEB_DOC}/copyright @ONLY)
file(WRITE ${TVX_DEB_DOC}/changelog.Debian
  "tavrix (${TVX_DEB_FULL_VERSION}) unstable; urgency=medium\n\n"
  "  * Packages built from the tavrix source tree.\n\n"
  " -- ${TVX_DEB_MAINTAINER}  ${TVX_DEB_DATE}\n")
execute_process(COMMAND gzip -9nf ${TVX_DEB_DOC}/changelog.Debian)
foreach(component IN ITEMS RUNTIME DEVELOPMENT TOOLS)
  string(SUBSTRING ${component} 0 1 first)
  string(SUBSTRING ${component} 1 -1 rest)
  string(TOLOWER ${rest} rest)
  install(FILES ${TVX_DEB_DOC}/copyright ${TVX_DEB_DOC}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${component}_PACKAGE_NAME}
    COMPONENT ${first}${rest} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/deb_compress_manuals.cmake)

include(CPack)
