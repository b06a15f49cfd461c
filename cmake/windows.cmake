# Settings of the Windows (MinGW-w64) build, included by the top-level
# CMakeLists.txt when WIN32 is set.
enable_language(RC)

# Winsock for the Ethernet link and discovery, COM and WIC for pictures.
# CNG (bcrypt) for MD5; the setup API for PCI cards.
set(TVX_SYSTEM_LIBS ws2_32 ole32 windowscodecs uuid bcrypt setupapi)
# Headers of the Windows SDK: nothing older than Windows 7.
target_compile_definitions(tavrix_objects PUBLIC _WIN32_WINNT=0x0601 WINVER=0x0601)

# The targets tavrix and tavrix_internal are defined after this file is
# included; their Windows settings are applied once the top-level directory
# has been read.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL include ${CMAKE_SOURCE_DIR}/cmake/windows-targets.cmake)
