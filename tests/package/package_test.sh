#!/bin/sh
# Makes the Debian package from the Release build (the run command's, brought up to date, or a
# new one), installs it with dpkg -i, starts the installed launcher as the menu does with a fresh
# XDG_DATA_HOME, and removes it with dpkg -r, which must take every file it installed and leave
# the catalogue as it was. Removed at the end whatever happened; a quorvel this test did not
# install is never touched.   package_test.sh CMAKE CPACK SOURCE_DIR RELEASE_DIR VERSION
set -u
cmake=$1 cpack=$2 source=$3 release=$4 version=$5
. "$source/tests/app/x11_helpers.sh"
[ "$(id -u)" = 0 ] || { echo "SKIP: installing a package with dpkg needs root"; exit 77; }
expected=$(printf '%s\n' /usr/bin/quorvel /usr/bin/qvtool /usr/bin/quorvel-start \
    /usr/share/applications/cz.velmora.Quorvel.desktop /usr/share/doc/quorvel/copyright \
    /usr/share/doc/quorvel/changelog.gz $(for size in 16 22 24 32 48 64 128 256; do
        echo "/usr/share/icons/hicolor/${size}x$size/apps/cz.velmora.Quorvel.png"; done))
for file in $expected; do
    [ ! -e "$file" ] || { echo "SKIP: $file exists, and this test installs over nothing"; exit 77; }
done

work=$(mktemp -d /tmp/quorvel-package-XXXXXX)
installed='' wm='' pid=''
# dpkg with its output in $work/log, waiting up to two minutes while apt or dpkg holds the lock.
run_dpkg() {
    for _ in $(seq 60); do
        dpkg "$@" >"$work/log" 2>&1 && return
        grep -q 'lock' "$work/log" || return 1
        sleep 2
    done
    return 1
}
cleanup() {
    kill $wm $pid 2>/dev/null
    [ -z "$installed" ] || run_dpkg -r quorvel
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP
stop() { fail "$*"; exit 1; }

# A new Release build leaves out the benchmark, which the package doesn't hold.
[ -f "$release/CMakeCache.txt" ] || "$cmake" -S "$source" -B "$release" \
    -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF >"$work/log" 2>&1 ||
    stop "$(cat "$work/log")"
"$cmake" --build "$release" -j"$(nproc)" >"$work/log" 2>&1 || stop "$(tail -n 30 "$work/log")"
"$cpack" -G DEB -B "$work" --config "$release/CPackConfig.cmake" >"$work/log" 2>&1 ||
    stop "$(cat "$work/log")"
arch=$(dpkg --print-architecture)
deb=$work/quorvel_${version}_$arch.deb
ddeb=$work/quorvel-dbgsym_${version}_$arch.ddeb

# Depends names exactly the packages of the libraries the programs link; both descriptions have
# a long text; lintian finds no error in either package.
dpkg-deb -x "$deb" "$work/root"
linked=$(readelf -d "$work/root/usr/bin/quorvel" "$work/root/usr/bin/qvtool" |
    sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | sort -u | while read -r library; do
        dpkg -S "*/$library" | sed -n 's/^\([^:,]*\).*/\1/p' | head -n 1
    done | sort -u | tr '\n' ' ')
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/ *(.*//; s/^ *//' | sort -u |
    tr '\n' ' ')
[ "$linked" = "$depends" ] || fail "Depends names '$depends', the libraries linked are of '$linked'"
for field in Description Description-cs; do
    [ "$(dpkg-deb -f "$deb" $field | wc -l)" -gt 3 ] || fail "$field: $(dpkg-deb -f "$deb" $field)"
done
lintian "$deb" "$ddeb" >"$work/lintian" 2>&1 || fail "lintian failed (errors, or a package missing)"
sed 's/^/lintian: /' "$work/lintian"

run_dpkg -i "$deb" || { installed=1; stop "dpkg -i: $(cat "$work/log")"; }
installed=1
files=$(dpkg -L quorvel)
[ "$(for f in $files; do [ -d "$f" ] || echo "$f"; done | sort)" = "$(echo "$expected" | sort)" ] ||
    fail "dpkg -L lists: $files"

# The menu's command, from the home directory with the system's PATH: the installed program
# opens its window in the catalogue the launcher made; closed from its menu, it ends with 0.
export QT_QPA_PLATFORM=xcb
start_window_manager
data=$work/data
mkdir "$work/home"
command=$(sed -n 's/^Exec=//p' /usr/share/applications/cz.velmora.Quorvel.desktop)
(cd "$work/home" && exec env -u QUORVEL_DIR HOME="$work/home" XDG_DATA_HOME="$data" \
    PATH=/usr/bin:/bin "$command") 2>"$work/stderr" &
pid=$!
main=$(find_window "^Quorvel $version\$")
[ -n "$main" ] || stop "no main window; stderr: $(cat "$work/stderr")"
wait_for_splash
running="$(readlink "/proc/$pid/exe") in $(readlink "/proc/$pid/cwd")"
[ "$running" = "/usr/bin/quorvel in $data/quorvel" ] || fail "running: $running"
open_menu "$main" p
xdotool key z
wait_for_exit "$pid"
pid=
[ "$rc" = 0 ] || fail "the program ended with $rc; stderr: $(cat "$work/stderr")"

snapshot() {
    cd "$data" && find . -exec stat -c '%n %A %s %i %Y' {} + && find . -type f -exec sha256sum {} +
}
before=$(snapshot)
[ -f "$data/quorvel/qv.db" ] && [ -f "$data/quorvel/qv.mb" ] || fail "no catalogue: $before"
run_dpkg -r quorvel || fail "dpkg -r: $(cat "$work/log")"
installed=
for file in $files; do
    # A directory stays only while another package has it too, or something else is in it.
    if [ -d "$file" ]; then
        dpkg -S "$file" >/dev/null 2>&1 || [ -n "$(ls -A "$file")" ] || fail "dpkg -r left $file"
    elif [ -e "$file" ]; then
        fail "dpkg -r left $file"
    fi
done
[ "$(snapshot)" = "$before" ] || fail "dpkg -r changed the catalogue: $(snapshot)"

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
