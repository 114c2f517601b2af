#!/bin/sh
# Installs the build into a temporary DESTDIR as a packager would, once under a plain prefix and
# once under one the desktop entry must quote, and checks what landed where: the two programs
# and the launcher in bin/, a desktop entry that desktop-file-validate accepts and whose Exec
# names the launcher under the prefix (not under DESTDIR), and the icon at every size the
# hicolor theme looks for, a PNG of that size with the pixels drawpictures draws now.
set -u
cmake=$1
build=$2
drawpictures=$3
samepixels=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../app/x11_helpers.sh"

sizes="16 22 24 32 48 64 128 256"
mkdir "$work/drawn"
"$drawpictures" "$work/drawn" || fail "drawpictures failed"

# Width, height, bit depth and colour type from a PNG's header, or nothing if it isn't one.
png_header() {
    [ "$(od -An -c -j1 -N3 "$1" | tr -d ' ')" = PNG ] || return
    od -An -tu1 -j16 -N10 "$1" |
        awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4,
                     $5 * 16777216 + $6 * 65536 + $7 * 256 + $8, $9, $10 }'
}

for prefix in /usr "/opt/Quorvel 1.1"; do
    stage=$work/stage
    rm -rf "$stage"
    if ! DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" >"$work/log" 2>&1; then
        fail "install under $prefix: $(cat "$work/log")"
        continue
    fi
    root=$stage$prefix

    # Exactly these files, nothing outside the prefix; the programs executable.
    expected=$(
        for program in quorvel qvtool quorvel-start; do echo "$prefix/bin/$program x"; done
        echo "$prefix/share/applications/cz.velmora.Quorvel.desktop -"
        for size in $sizes; do
            echo "$prefix/share/icons/hicolor/${size}x$size/apps/cz.velmora.Quorvel.png -"
        done
    )
    actual=$(cd "$stage" && find . ! -type d | sed 's/^\.//' |
        while read -r file; do [ -x "$stage$file" ] && echo "$file x" || echo "$file -"; done)
    [ "$(echo "$expected" | sort)" = "$(echo "$actual" | sort)" ] ||
        fail "under $prefix, installed: $actual"

    entry=$root/share/applications/cz.velmora.Quorvel.desktop
    report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
    [ -z "$report" ] || fail "desktop-file-validate has remarks: $report"
    # A path with a space stands in double quotes in Exec.
    launcher="$prefix/bin/quorvel-start"
    [ "$prefix" = /usr ] && exec_line="Exec=$launcher" || exec_line="Exec=\"$launcher\""
    for line in "$exec_line" "TryExec=$launcher" Terminal=false Icon=cz.velmora.Quorvel \
        Type=Application Name=Quorvel 'Name[cs]=Quorvel' 'GenericName=Periodical Catalogue' \
        'GenericName[cs]=Katalog časopisů' \
        'Comment[cs]=Katalog výtisků časopisů a jejich obsahu'; do
        grep -qxF "$line" "$entry" || fail "the entry under $prefix lacks the line $line"
    done
    grep -q '^Comment=.' "$entry" || fail "the entry has no English Comment"
    grep -q '^Categories=\(.*;\)\?Office;' "$entry" || fail "the entry is not in Office"

    for size in $sizes; do
        icon=$root/share/icons/hicolor/${size}x$size/apps/cz.velmora.Quorvel.png
        # 8 bits per channel, colour type 6: RGB with alpha, so the corners stay see-through.
        header=$(png_header "$icon")
        [ "$header" = "$size $size 8 6" ] ||
            fail "icon ${size}x$size: PNG header '$header', expected '$size $size 8 6'"
        # By their pixels: another libpng or zlib writes the same pixels in other bytes.
        difference=$("$samepixels" "$icon" "$work/drawn/icons/quorvel-$size.png") ||
            fail "icon ${size}x$size differs from the drawing ($difference): run drawpictures resources, commit"
    done
done

[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
