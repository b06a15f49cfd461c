#!/bin/sh
# Keeps the library's layers honest: a file in src/ may include headers of
# its own folder and of folders below it, never of a folder above or beside
# it, and only src/platform/ may include operating-system headers.
#
#   base -> platform -> channel -> link -> api -> transfer -> packaging
#                                             \-> monitoring, display
#   frame sits on top of all of them.
#
# Prints every include that breaks the order and exits 1 when there is one.
set -eu
cd "$(dirname "$0")/../${1:-.}"

rank() {
    case "$1" in
        base) echo 0 ;; platform) echo 1 ;; channel) echo 2 ;; link) echo 3 ;; api) echo 4 ;;
        transfer | monitoring | display) echo 5 ;; packaging) echo 6 ;; frame) echo 7 ;;
        *) echo "" ;;
    esac
}

os_headers='windows\.h|winsock2?\.h|ws2tcpip\.h|setupapi\.h|sys/socket\.h|netinet/|arpa/inet\.h|termios\.h|unistd\.h|fcntl\.h|pthread\.h|poll\.h|sys/ioctl\.h|dlfcn\.h'

status=0
for file in $(find src -name '*.h' -o -name '*.cpp' | sort); do
    layer=$(echo "$file" | cut -d/ -f2)
    own=$(rank "$layer")
    if [ -z "$own" ]; then
        echo "$file: folder src/$layer has no place in the layer order (add it to scripts/check-layers.sh)"
        status=1
        continue
    fi
    if [ "$layer" != platform ] && grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<($os_headers)" "$file" >/tmp/tvx_layers.$$ 2>/dev/null; then
        sed "s|^|$file:|; s|\$|  (operating-system header outside platform/)|" /tmp/tvx_layers.$$
        status=1
    fi
    grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[a-z_]+/' "$file" 2>/dev/null |
        sed -E 's|^([0-9]+):.*"([a-z_]+)/.*|\1 \2|' >/tmp/tvx_layers.$$ || true
    while read -r line target; do
        [ "$target" = "$layer" ] && continue
        theirs=$(rank "$target")
        if [ -z "$theirs" ] || [ "$theirs" -ge "$own" ]; then
            echo "$file:$line: src/$layer includes src/$target, which is not below it"
            status=1
        fi
    done </tmp/tvx_layers.$$
done
rm -f /tmp/tvx_layers.$$
[ "$status" -eq 0 ] && echo "layers: every include points down"
exit "$status"
