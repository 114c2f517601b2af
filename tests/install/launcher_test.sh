#!/bin/sh
# Starts Quorvel as the desktop's menu does, on an X server with a window manager: the build is
# installed into a temporary prefix and the command is taken from the installed desktop entry's
# Exec, run from the home directory with a PATH that knows neither program. The first start
# makes the catalogue directory and an empty catalogue and opens it; issues added by qvtool then
# are there at the second start, in the same files; QUORVEL_DIR wins over XDG_DATA_HOME, which
# defaults to ~/.local/share; a directory with one of the two files or a foreign file is left
# byte for byte as it was while the program shows its start-up failure naming the file; a
# directory that can't be made is reported in a box, and nothing starts.
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

openbox >/dev/null 2>&1 &
wm=$!
sleep 1

mkdir "$work/home"
# Starts the menu's command (or $via) with the environment given as arguments, from the home
# directory as a desktop does; sets pid.
start() {
    (cd "$work/home" && exec env -u QUORVEL_DIR -u XDG_DATA_HOME HOME="$work/home" \
        PATH=/usr/bin:/bin "$@" "${via:-$command}") 2>"$work/stderr" &
    pid=$!
}
# Waits for the main window and the splash; sets main.
await_main() {
    main=$(find_window '^Quorvel 1.1$')
    [ -n "$main" ] || { fail "$1: no main window; stderr: $(cat "$work/stderr")"; return 1; }
    wait_for_splash
    xdotool windowactivate --sync "$main"
}
close_main() {
    [ -n "$main" ] && xdotool windowactivate --sync "$main" key --clearmodifiers alt+p
    sleep 0.5
    xdotool key z
    wait_for_exit "$pid"
    [ "$rc" = 0 ] || fail "$1: exit code $rc, expected 0; stderr: $(cat "$work/stderr")"
}
# The program runs in the directory, on its files.
check_runs_in() {
    [ "$(readlink "/proc/$pid/cwd")" = "$2" ] ||
        fail "$1: the program runs in $(readlink "/proc/$pid/cwd"), expected $2"
}
issues() { sqlite3 -cmd ".timeout 5000" "$1/qv.db" "select vytisk, cislo from qv order by id"; }
# Every file of a directory with its mode and contents' checksum.
snapshot() {
    (cd "$1" && find . -exec ls -ldn {} + | awk '{ print $1, $5, $NF }' &&
        find . -type f -exec sha256sum {} +) | sort
}

# 1. The first start makes the catalogue directory, private, and an empty catalogue, and opens it.
dir=$work/data/quorvel
start XDG_DATA_HOME="$work/data"
if await_main "first start"; then
    check_runs_in "first start" "$dir"
    [ "$(stat -c %a "$dir")" = 700 ] || fail "the catalogue directory has mode $(stat -c %a "$dir")"
    [ -f "$dir/qv.db" ] && [ -f "$dir/qv.mb" ] || fail "first start: no catalogue in $dir"
    [ -z "$(issues "$dir")" ] || fail "the new catalogue holds $(issues "$dir")"
    xprop -id "$main" _NET_WM_ICON | grep -q 'Icon (128 x 128)' ||
        fail "the main window carries no icon"
    # The desktop ties the window to its entry (and so to the icon) by the window's class.
    class=$(sed -n 's/^StartupWMClass=//p' "$entry")
    xprop -id "$main" WM_CLASS | grep -q "= \"[^\"]*\", \"$class\"\$" ||
        fail "the main window's $(xprop -id "$main" WM_CLASS) is not StartupWMClass=$class"
    close_main "first start"
fi
inode=$(stat -c %i "$dir/qv.db")
# Two issues added with qvtool while the program is closed.
printf 'Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\nVesmír,2/2026,,\nKoktejl,3/2026,,\n' \
    >"$work/more.csv"
"$prefix/bin/qvtool" import "$work/more.csv" "$dir" >"$work/import.log" 2>&1 ||
    fail "qvtool import: $(cat "$work/import.log")"
rows=$(printf 'Vesmír|2/2026\nKoktejl|3/2026')

# 2. The second start opens the same files with the issues in them, and creates nothing.
start XDG_DATA_HOME="$work/data"
if await_main "second start"; then
    check_runs_in "second start" "$dir"
    close_main "second start"
fi
[ "$(stat -c %i "$dir/qv.db")" = "$inode" ] || fail "the second start made qv.db anew"
[ "$(issues "$dir")" = "$rows" ] || fail "after the second start: '$(issues "$dir")'"

# 3. Where the catalogue goes: XDG_DATA_HOME unset or relative means ~/.local/share; QUORVEL_DIR
# wins over it, here through a link to the launcher elsewhere.
ln -s "$command" "$work/home/quorvel-link"
for case in "unset|$work/home/.local/share/quorvel" \
    "XDG_DATA_HOME=relative|$work/home/.local/share/quorvel" \
    "QUORVEL_DIR=$work/own/katalog|$work/own/katalog"; do
    setting=${case%|*}
    expected=${case#*|}
    before=$(snapshot "$work/data")
    case $setting in
        unset) start ;;
        QUORVEL_DIR=*)
            via=$work/home/quorvel-link
            start XDG_DATA_HOME="$work/data" "$setting"
            via=
            ;;
        *) start "$setting" ;;
    esac
    if await_main "$setting"; then
        check_runs_in "$setting" "$expected"
        close_main "$setting"
    fi
    [ -f "$expected/qv.db" ] && [ -f "$expected/qv.mb" ] ||
        fail "$setting: no catalogue in $expected"
    [ "$(snapshot "$work/data")" = "$before" ] || fail "$setting: the XDG catalogue changed"
    rm -rf "$work/home/.local"
done

# 4. A directory with one file or a foreign one: nothing is made or changed, and the program's
# start-up failure names the file.
for case in "only qv.db|qv.mb" "only qv.mb|qv.db" "foreign qv.db beside a memo file|qv.db" \
    "dangling link qv.mb|qv.db"; do
    name=${case%|*}
    named=${case#*|}
    dir=$work/broken
    rm -rf "$dir"
    mkdir -p "$dir"
    "$prefix/bin/qvtool" create "$dir" >/dev/null 2>&1 || fail "$name: qvtool create failed"
    case $name in
        "only qv.db") rm "$dir/qv.mb" ;;
        "only qv.mb") rm "$dir/qv.db" ;;
        "foreign qv.db beside"*) echo "nákupní seznam" >"$dir/qv.db" ;;
        "dangling link qv.mb") rm "$dir/qv.db" "$dir/qv.mb" && ln -s "$work/nowhere" "$dir/qv.mb" ;;
    esac
    before=$(snapshot "$dir")
    start QUORVEL_DIR="$dir"
    box=$(find_window '^Application Error$')
    if [ -z "$box" ]; then
        fail "$name: no start-up failure box; stderr: $(cat "$work/stderr")"
        kill "$pid" 2>/dev/null
    else
        xdotool windowactivate --sync "$box" key Return
    fi
    wait_for_exit "$pid"
    [ "$rc" = 1 ] || fail "$name: exit code $rc, expected 1"
    grep -qF "File: $dir/$named" "$work/stderr" ||
        fail "$name: the failure does not name $named: $(cat "$work/stderr")"
    [ "$(snapshot "$dir")" = "$before" ] || fail "$name: the directory changed: $(snapshot "$dir")"
done

# 5. The directory can't be made (a file holds its name): a box says so, the program doesn't
# start, and the file stays as it was.
mkdir -p "$work/blocked"
echo "poznámky" >"$work/blocked/quorvel"
start XDG_DATA_HOME="$work/blocked"
box=$(find_window '^Quorvel$')
if [ -z "$box" ]; then
    fail "no box for a directory that can't be made; stderr: $(cat "$work/stderr")"
    kill "$pid" 2>/dev/null
else
    is_visible '^Quorvel 1.1$' && fail "the program started without its directory"
    xdotool windowactivate --sync "$box" key Return
fi
wait_for_exit "$pid"
[ "$rc" = 1 ] || fail "blocked directory: exit code $rc, expected 1"
grep -qxF "quorvel-start: Nepodařilo se vytvořit adresář katalogu $work/blocked/quorvel." \
    "$work/stderr" || fail "blocked directory: stderr reads $(cat "$work/stderr")"
[ "$(cat "$work/blocked/quorvel")" = "poznámky" ] || fail "the file in the way changed"

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
