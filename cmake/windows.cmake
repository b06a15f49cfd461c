# Settings of the Windows (MinGW-w64) build, included by the top-level
# CMakeLists.txt when WIN32 is set.
