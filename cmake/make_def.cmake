# Writes the module-definition file of tavrix.dll. Run with -P and
#   NM       the target's nm
#   ARCHIVE  the static library holding every object of the DLL
#   HEADER   include/tavrix.h
#   OUTPUT   the .def file to write
# Exported are the functions the header declares with TVX_API, and the
# component-server entry points. Each is written as the compiler named it
# (on 32-bit, stdcall names end in @<argument bytes>); the linker's
# --kill-at then gives plain export names. A declared name with no
# definition is left out with a warning, so the export check reports it.

file(READ ${HEADER} header)
# Drop preprocessor lines (the macro definitions mention TVX_API too).
string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\n" header "${header}")
string(REGEX REPLACE "[\r\n\t ]+" " " header "${header}")
string(REGEX MATCHALL "TVX_API[^;(]*\\(" declarations "${header}")
set(names)
foreach(d IN LISTS declarations)
  string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*) ?\\($" _ "${d}")
  list(APPEND names ${CMAKE_MATCH_1})
endforeach()
list(REMOVE_DUPLICATES names)
list(APPEND names DllGetClassObject DllCanUnloadNow DllRegisterServer)

execute_process(COMMAND ${NM} -g --defined-only ${ARCHIVE}
  OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${ARCHIVE}")
endif()

set(lines "LIBRARY tavrix.dll\nEXPORTS\n")
foreach(name IN LISTS names)
  unset(CMAKE_MATCH_1)
  # "<address> T <symbol>", the symbol with a leading underscore on 32-bit.
  string(REGEX MATCH "\n[0-9a-fA-F]+ T _?(${name}(@[0-9]+)?)\n" _ "\n${symbols}")
  if(CMAKE_MATCH_1)
    string(APPEND lines "  ${CMAKE_MATCH_1}\n")
  else()
    message(WARNING "${name} is declared in tavrix.h but defined nowhere")
  endif()
endforeach()
file(WRITE ${OUTPUT}.tmp "${lines}")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
