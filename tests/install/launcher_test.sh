#!/bin/sh
# Starts Quorvel as the desktop's menu does, on an X server with a window manager: the build is
# installed into a temporary prefix and the command is taken from the installed desktop entry's
# Exec, run from the home directory with a PATH that knows neither program. The first start
# makes a private catalogue directory with an empty catalogue and opens it; later starts open
# the same files, with what qvtool added meanwhile; QUORVEL_DIR wins over XDG_DATA_HOME, which
# defaults to ~/.local/share. A catalogue the program can't take is left byte for byte as it was.
set -u
export QT_QPA_PLATFORM=xcb
cmake=$1
build=$2
work=$(mktemp -d)
wm=
pid=
trap 'kill "$wm" $pid 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/../app/x11_helpers.sh"

prefix="$work/menu prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { fail "install: $(cat "$work/install.log")"; exit 1; }
entry=$prefix/share/applications/cz.velmora.Quorvel.desktop
command=$(sed -n 's/^Exec="\(.*\)"$/\1/p' "$entry")
[ "$command" = "$prefix/bin/quorvel-start" ] || fail "the entry's Exec gives '$command'"

start_window_manager

mkdir "$work/home"
ln -s "$command" "$work/home/quorvel-link"
# Starts the menu's command (or $via) with the environment given as arguments, from the home
# directory as a desktop does; sets pid.
start() {
    (cd "$work/home" && exec env -u QUORVEL_DIR -u XDG_DATA_HOME HOME="$work/home" \
        PATH=/usr/bin:/bin "$@" "${via:-$command}") 2>"$work/stderr" &
    pid=$!
}
# Waits for the main window, runs the check $2 (if given) on it, and closes the program from its
# menu; it must have run in $expected, on both catalogue files there, and ended with 0.
run_in() {
    main=$(find_window '^Quorvel 1.1$')
    if [ -n "$main" ]; then
        wait_for_splash
        [ "$(readlink "/proc/$pid/cwd")" = "$expected" ] ||
            fail "$1: the program runs in $(readlink "/proc/$pid/cwd"), expected $expected"
        [ -z "${2:-}" ] || "$2"
        open_menu "$main" p
        xdotool key z
    else
        fail "$1: no main window; stderr: $(cat "$work/stderr")"
    fi
    wait_for_exit "$pid"
    [ "$rc" = 0 ] || fail "$1: exit code $rc, expected 0; stderr: $(cat "$work/stderr")"
    [ -f "$expected/qv.db" ] && [ -f "$expected/qv.mb" ] || fail "$1: no catalogue in $expected"
}
issues() { sqlite3 -cmd ".timeout 5000" "$1/qv.db" "select vytisk, cislo from qv order by id"; }
# Every file of a directory with its mode, size, inode and contents' checksum.
snapshot() {
    (cd "$1" && find . -exec stat -c '%n %A %s %i' {} + && find . -type f -exec sha256sum {} +) |
        sort
}

# 1. The first start: a directory of mode 700 with an empty catalogue; the window has the icon
# and the entry's StartupWMClass as its class, which ties it to the entry on the desktop.
data=$work/data
expected=$data/quorvel
first_start() {
    [ "$(stat -c %a "$expected")" = 700 ] || fail "the directory has mode $(stat -c %a "$expected")"
    [ -z "$(issues "$expected")" ] || fail "the new catalogue holds $(issues "$expected")"
    xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (128 x 128)' ||
        fail "the main window carries no icon"
    class=$(sed -n 's/^StartupWMClass=//p' "$entry")
    xprop -id "$main" WM_CLASS | grep -q "= \"[^\"]*\", \"$class\"\$" ||
        fail "the main window's $(xprop -id "$main" WM_CLASS) is not StartupWMClass=$class"
}
start XDG_DATA_HOME="$data"
run_in "first start" first_start
printf 'Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\nVesmír,2/2026,,\nKoktejl,3/2026,,\n' \
    >"$work/more.csv"
"$prefix/bin/qvtool" import "$work/more.csv" "$expected" >"$work/import.log" 2>&1 ||
    fail "qvtool import: $(cat "$work/import.log")"

# 2. Later starts change nothing in that catalogue, whether they open it or another: XDG_DATA_HOME
# unset or relative means ~/.local/share; QUORVEL_DIR wins, here through a link to the launcher.
before=$(snapshot "$data")
for case in "XDG_DATA_HOME=$data|$data/quorvel" "unset|$work/home/.local/share/quorvel" \
    "XDG_DATA_HOME=relative|$work/home/.local/share/quorvel" \
    "QUORVEL_DIR=$work/own/katalog|$work/own/katalog"; do
    setting=${case%|*}
    expected=${case#*|}
    case $setting in
        unset) start ;;
        QUORVEL_DIR=*)
            via=$work/home/quorvel-link
            start XDG_DATA_HOME="$data" "$setting"
            via=
            ;;
        *) start "$setting" ;;
    esac
    run_in "$setting"
    [ "$(snapshot "$data")" = "$before" ] || fail "$setting: the XDG catalogue changed"
    rm -rf "$work/home/.local"
done
[ "$(issues "$data/quorvel")" = "$(printf 'Vesmír|2/2026\nKoktejl|3/2026')" ] ||
    fail "the issues added by qvtool: '$(issues "$data/quorvel")'"

# 3. A directory with one file or a foreign one gets the program's start-up failure naming the
# file; one that can't be made (a file holds its name) a box of the launcher's, and the program
# doesn't start. Either ends with 1, and nothing is made or changed.
for case in "only qv.db|qv.mb|rm qv.mb" "only qv.mb|qv.db|rm qv.db" \
    "foreign qv.db beside a memo file|qv.db|echo 'nákupní seznam' >qv.db" \
    "dangling link qv.mb|qv.db|rm qv.db qv.mb && ln -s ../nowhere qv.mb" \
    "blocked||rm qv.db qv.mb && echo poznámky >quorvel"; do
    name=${case%%|*}
    named=${case#*|}
    dir=$work/broken
    rm -rf "$dir"
    mkdir -p "$dir"
    "$prefix/bin/qvtool" create "$dir" >/dev/null 2>&1 || fail "$name: qvtool create failed"
    (cd "$dir" && eval "${named#*|}")
    box='^Application Error$'
    set -- QUORVEL_DIR="$dir"
    said="File: $dir/${named%%|*}."
    if [ "$name" = blocked ]; then
        box='^Quorvel$'
        set -- XDG_DATA_HOME="$dir"
        said="quorvel-start: Nepodařilo se vytvořit adresář katalogu $dir/quorvel."
    fi
    before=$(snapshot "$dir")
    start "$@"
    found=$(find_window "$box")
    if [ -z "$found" ]; then
        fail "$name: no box; stderr: $(cat "$work/stderr")"
        kill "$pid" 2>/dev/null
    else
        is_visible '^Quorvel 1.1$' && fail "$name: the program's window opened"
        xdotool windowactivate --sync "$found" key Return
    fi
    wait_for_exit "$pid"
    [ "$rc" = 1 ] || fail "$name: exit code $rc, expected 1"
    grep -qxF "$said" "$work/stderr" ||
        fail "$name: stderr does not say $said: $(cat "$work/stderr")"
    [ "$(snapshot "$dir")" = "$before" ] || fail "$name: the directory changed: $(snapshot "$dir")"
done

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
