#!/bin/sh
# Keeps the library's layers honest: a file in src/ may include headers of
# its own folder and of folders below it, never of a folder above or beside
# it, and only src/platform/ may include operating-system headers.
#
#   base -> platform -> channel -> link -> api -> transfer, monitoring, display
#        -> packaging -> frame -> tools
#
# transfer, monitoring and display are peers: none includes another. New
# code goes into the lowest folder that has everything it needs; a new
# folder gets its place in the ranks below. src/tools/ holds the one header
# the tvx tool includes from src/ beside the public header; no library code
# includes it, and tvx includes nothing else of src/.
#
# Prints every include that breaks the order and exits 1 when there is one.
set -eu
cd "$(dirname "$0")/.."

status=0
grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"(base|platform|channel|link|api|transfer|monitoring|display|packaging|frame)/' \
    tools/tvx && { echo "tools/tvx: include src/ only through tools/tool_interface.h"; status=1; }

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' src --include='*.h' --include='*.cpp' |
awk -F: '
BEGIN {
    split("base:0 platform:1 channel:2 link:3 api:4 transfer:5 monitoring:5 display:5 packaging:6 frame:7 tools:8", pairs, " ")
    for (i in pairs) { split(pairs[i], kv, ":"); rank[kv[1]] = kv[2] }
    os = "^(windows\\.h|winsock2?\\.h|ws2tcpip\\.h|setupapi\\.h|sys/socket\\.h|netinet/|arpa/inet\\.h|termios\\.h|unistd\\.h|fcntl\\.h|pthread\\.h|poll\\.h|sys/ioctl\\.h|dlfcn\\.h)"
    bad = 0
}
{
    file = $1; line = $2
    text = $0; sub(/^[^:]*:[^:]*:/, "", text)
    split(file, parts, "/"); layer = parts[2]
    if (!(layer in rank)) {
        if (!(layer in unknown)) print file ": folder src/" layer " has no place in the layer order (scripts/check-layers.sh)"
        unknown[layer] = 1; bad = 1; next
    }
    if (match(text, /<[^>]*>/)) {
        header = substr(text, RSTART + 1, RLENGTH - 2)
        if (layer != "platform" && header ~ os) {
            print file ":" line ": operating-system header <" header "> outside src/platform/"; bad = 1
        }
        next
    }
    if (!match(text, /"[a-z_]+\//)) next
    target = substr(text, RSTART + 1, RLENGTH - 2)
    if (target == layer) next
    if (!(target in rank) || rank[target] >= rank[layer]) {
        print file ":" line ": src/" layer " includes src/" target ", which is not below it"; bad = 1
    }
}
END {
    if (!bad) print "layers: every include points down"
    exit bad
}' || status=1
exit $status
