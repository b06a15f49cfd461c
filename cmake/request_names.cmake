# Generates the table of request-code names from src/channel/request_codes.h,
# so that every code added there is named in traces without a second list.
#   cmake -DINPUT=request_codes.h -DOUTPUT=request_names.cpp -P request_names.cmake
file(STRINGS "${INPUT}" lines REGEX "inline constexpr uint16_t [A-Za-z0-9_]+ = [0-9]+;")
set(entries "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE ".*uint16_t ([A-Za-z0-9_]+) = ([0-9]+);.*" "    {\\2, \"\\1\"}," entry "${line}")
  string(APPEND entries "${entry}\n")
endforeach()
set(text "// Generated from src/channel/request_codes.h; do not edit.
#include \"channel/request_names.h\"

namespace tvx {

const RequestName kRequestNames[] = {
${entries}};
const size_t kRequestNameCount = sizeof kRequestNames / sizeof kRequestNames[0];

}  // namespace tvx
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
