#!/bin/sh
# quorvel-start: what the desktop's menu runs. Starts Quorvel in the user's own catalogue
# directory, $QUORVEL_DIR when it is set, else ${XDG_DATA_HOME:-$HOME/.local/share}/quorvel.
# The first time it makes the directory (mode 700) and an empty catalogue in it with qvtool.
# A directory that holds either of the catalogue's two files is left exactly as it is: the
# program opens it, or shows its own start-up failure naming the file that is wrong.
# quorvel and qvtool are taken from this script's own directory first, then from PATH.
#
# Its own failures (no directory, no catalogue, a program missing) go to standard error and,
# since a start from the menu has no terminal, into a box on the desktop; then it ends with 1.
set -u

# Shows the message on standard error and, when a display is there, in the first box tool the
# desktop has; then ends.
fail() {
    printf 'quorvel-start: %s\n' "$1" >&2
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        if command -v zenity >/dev/null 2>&1; then
            zenity --error --title=Quorvel --no-markup --text="$1" 2>/dev/null
        elif command -v kdialog >/dev/null 2>&1; then
            kdialog --title Quorvel --error "$1" 2>/dev/null
        elif command -v xmessage >/dev/null 2>&1 && [ -n "${DISPLAY:-}" ]; then
            xmessage -title Quorvel -center -buttons OK:0 -default OK -xrm '*international: true' \
                "$1" 2>/dev/null
        fi
    fi
    exit 1
}

# The program of that name beside this script, else on PATH; fails when there is none.
program() {
    if [ -f "$here/$1" ] && [ -x "$here/$1" ]; then
        printf '%s\n' "$here/$1"
    elif found=$(command -v "$1") && [ -n "$found" ]; then
        printf '%s\n' "$found"
    else
        fail "Program $1 nebyl nalezen (hledán v $here a v PATH)."
    fi
}

# The directory this script really lies in, through any link to it, as an absolute path.
self=$(readlink -f -- "$0" 2>/dev/null) || self=$0
here=$(cd -- "$(dirname -- "$self")" 2>/dev/null && pwd) || here=.
quorvel=$(program quorvel) || exit 1
qvtool=$(program qvtool) || exit 1

if [ -n "${QUORVEL_DIR:-}" ]; then
    dir=$QUORVEL_DIR
else
    # A relative XDG_DATA_HOME is invalid and ignored, as the base directory rules say.
    case "${XDG_DATA_HOME:-}" in
        /*) data=$XDG_DATA_HOME ;;
        *)
            [ -n "${HOME:-}" ] || fail "Není nastaven HOME, katalog nemá kde být."
            data=$HOME/.local/share
            ;;
    esac
    dir=$data/quorvel
fi

# Only the catalogue's own directory is kept private; parents get the usual mode.
# shellcheck disable=SC2174
problem=$(mkdir -p -m 700 -- "$dir" 2>&1) ||
    fail "Nepodařilo se vytvořit adresář katalogu $dir.
$problem"

# Anything by either name, even a dangling link, means this is not a first start.
present() { [ -e "$dir/$1" ] || [ -L "$dir/$1" ]; }
if ! present qv.db && ! present qv.mb; then
    problem=$("$qvtool" create "$dir" 2>&1 >/dev/null) ||
        fail "Nepodařilo se vytvořit prázdný katalog v $dir.
$problem"
fi

cd -- "$dir" || fail "Nelze přejít do adresáře katalogu $dir."
exec "$quorvel"
