#!/bin/sh
# A user's first hour with the real executable, by keys and clicks only, on an X server with a
# window manager: browse the demo catalogue, correct an issue, add three issues with Czech texts
# and memos of several lines, correct and delete by way of searches in all four fields, sort both
# ways, show all, export under a new name through the save dialog, close by the menu, start
# again and close by the close box. After each step the catalogue is read with sqlite3.
# With QV_SHOTS set to a directory, a screenshot of each step is saved there.
set -u
export QT_QPA_PLATFORM=xcb
quorvel=$1
qvtool=$2
work=$(mktemp -d)
wm=
pid=
trap 'kill "$wm" $pid 2>/dev/null; rm -rf "$work"' EXIT
. "$(dirname "$0")/x11_helpers.sh"
step=0
shot() {
    step=$((step + 1))
    if [ -n "${QV_SHOTS:-}" ]; then
        sleep 0.5
        import -window root "$(printf '%s/session-%02d-%s.png' "$QV_SHOTS" "$step" "$1")"
    fi
}

# Binds the Czech letters to spare keycodes first, so that xdotool finds them in the keymap:
# otherwise it rebinds a keycode for each such letter, and a program that reads its keys late
# sees them through a later binding, or loses them.
bind_czech_keys() {
    xkbcomp -xkb "$DISPLAY" "$work/keymap.xkb" 2>/dev/null || return 1
    awk '
        /^xkb_keycodes/ { section = "codes" }
        /^xkb_symbols/ { section = "symbols" }
        section == "codes" && match($0, /<[A-Z0-9]+> *= *[0-9]+;/) {
            code[substr($0, RSTART, index(substr($0, RSTART), ">"))] = 1
        }
        section == "symbols" && match($0, /key +<[A-Z0-9]+>/) {
            name = substr($0, RSTART)
            name = substr(name, index(name, "<"))
            used[substr(name, 1, index(name, ">"))] = 1
        }
        { lines[++n] = $0 }
        section == "symbols" && /^};/ { end = n; section = "" }
        END {
            count = split("ecaron scaron ccaron rcaron zcaron yacute aacute iacute eacute " \
                          "uring uacute dcaron tcaron ncaron oacute", letters, " ")
            spares = 0
            for (name in code) if (!(name in used)) spare[++spares] = name
            for (i = 1; i <= n; i++) {
                for (j = 1; i == end && j <= count && j <= spares; j++)
                    printf "    key %s { [ %s, %s ] };\n", spare[j], letters[j],
                        toupper(substr(letters[j], 1, 1)) substr(letters[j], 2)
                print lines[i]
            }
        }' "$work/keymap.xkb" >"$work/czech.xkb" && xkbcomp "$work/czech.xkb" "$DISPLAY" 2>/dev/null
}

start_window_manager
bind_czech_keys || fail "the Czech letters could not be bound to keys"

dir=$work/katalog
mkdir "$dir" "$work/zálohy"
"$qvtool" demo "$dir" >"$work/demo.out" 2>&1 || fail "qvtool demo: $(cat "$work/demo.out")"

# The catalogue of the pair $1.db and $1.mb as sqlite3 reads it: one line per issue in id order,
# the memo's line breaks shown as \r and \n.
catalogue() {
    sqlite3 -cmd ".timeout 5000" -cmd "attach '$1.mb' as m" "$1.db" \
        "select q.id, q.vytisk, q.cislo, q.nejzajimavejsi_casti,
                replace(replace(coalesce(m.obsah, ''), char(13), '\\r'), char(10), '\\n')
         from qv q left join m.memo m on m.id = q.id order by q.id" 2>&1
}
row() { catalogue "$dir/qv" | grep "^$1|"; }
count() { catalogue "$dir/qv" | wc -l; }

# Waits up to 20 s for a shell condition to hold.
await() {
    tries=100
    while ! eval "$1" >/dev/null 2>&1; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.2
    done
}
# Waits for the catalogue's row of id $1 to read $2 exactly.
expect_row() {
    expected=$2
    await "[ \"\$(row $1)\" = \"\$expected\" ]" ||
        fail "$3: row $1 reads '$(row "$1")', expected '$2'"
}
expect_count() {
    await "[ \"\$(count)\" = $1 ]" || fail "$2: $(count) issues, expected $1"
}

# Every step ends with no error box up and the program still running.
no_box() {
    for caption in '^Error$' '^Quorvel$' '^Application Error$'; do
        is_visible "$caption" && fail "$1: a box '$caption' is up"
    done
    kill -0 "$pid" 2>/dev/null || fail "$1: the program ended"
}

# Starts the program in the catalogue's directory and waits until the splash has come and gone.
start() {
    (cd "$dir" && exec "$quorvel") 2>>"$work/stderr" &
    pid=$!
    main=$(find_window '^Quorvel 1.1$')
    [ -n "$main" ] || { fail "no main window; stderr: $(cat "$work/stderr")"; return 1; }
    wait_for_splash
    xdotool windowactivate --sync "$main"
    client_geometry "$main"
    # The client area of 738 x 521 lies below the menu bar.
    Y=$((Y + HEIGHT - 521))
}
# Clicks at a point of the main window's client area.
click() { xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }
# The grid's data line $1 (from 0), in the title column: lines of 17 pixels below the title.
click_line() { click 60 $((35 + 17 * $1)); }
# The edit group's controls and the search group's, by the centres of their places.
click_title() { click 174 366; }
click_number() { click 174 406; }
click_parts() { click 174 446; }
click_memo() { click 524 414; }
click_new() { click 53 492; }
click_save() { click 133 492; }
click_delete() { click 256 492; }
search() {
    case $1 in
        title) click 158 280 ;;
        number) click 158 304 ;;
        parts) click 278 280 ;;
        memo) click 278 304 ;;
    esac
    click 572 274
    xdotool key ctrl+a
    xdotool type "$2"
    click 492 300
}
type_text() { xdotool type --delay 12 "$1"; }
# Types lines into the memo, Enter between them.
type_lines() {
    first=1
    for line in "$@"; do
        [ "$first" = 1 ] || xdotool key Return
        first=0
        type_text "$line"
    done
}
# Answers the confirmation box with a key and waits until it is gone.
confirm() {
    box=$(find_window '^Confirm$')
    if [ -z "$box" ]; then
        fail "no confirmation box"
        return
    fi
    xdotool key "$1"
    await '! is_visible "^Confirm$"' || fail "the confirmation box stays up"
    xdotool windowactivate --sync "$main"
}
start || exit 1
shot start
[ "$(count)" = 50 ] || fail "the demo holds $(count) issues, expected 50"
original=$(catalogue "$dir/qv")

# Browse: keys in the grid, then back to the top and a click on the third line.
xdotool key Down Down Next
shot page-down
xdotool key ctrl+End
shot last
xdotool key ctrl+Home
click_line 2
shot third-line
# Correct the issue clicked: its number and, at the end, its parts.
click_number
xdotool key ctrl+a
type_text "8/2010"
click_parts
xdotool key End
type_text "; oprava čísla"
click_save
expect_row 3 "3|Vesmír|8/2010|Klimatické modely a jejich meze; oprava čísla|Debata dvou klimatologů o tom, co modely umějí a co ne.\nPříloha: tabulka průměrných teplot v Klementinu od roku 1775." \
    "correcting the clicked issue"
no_box "correcting"
shot corrected

# Three new issues, each typed into the four fields and saved.
add() {
    click_new
    click_title
    type_text "$1"
    click_number
    type_text "$2"
    click_parts
    type_text "$3"
    click_memo
    shift 3
    type_lines "$@"
    click_save
}
add "Příroda a člověk" "4/2021" "Šumava; úhoř říční" "Výprava na Šumavu." \
    "Úhoř říční a jeho tah do Sargasového moře." "Křížovka o ceny."
expect_row 51 "51|Příroda a člověk|4/2021|Šumava; úhoř říční|Výprava na Šumavu.\r\nÚhoř říční a jeho tah do Sargasového moře.\r\nKřížovka o ceny." \
    "the first new issue"
shot first-new
add "Český les" "12/2019" "Ďáblík bahenní; tůně" "Přehled tůní Českého lesa." \
    "Rozhovor s ochráncem přírody: ŽÁBY, ČOLCI A ČÁPI."
expect_row 52 "52|Český les|12/2019|Ďáblík bahenní; tůně|Přehled tůní Českého lesa.\r\nRozhovor s ochráncem přírody: ŽÁBY, ČOLCI A ČÁPI." \
    "the second new issue"
add "Dějiny a současnost" "7/2003" "Středověké hrady" "Hrady a tvrze." "" "Život na hradě."
expect_row 53 "53|Dějiny a současnost|7/2003|Středověké hrady|Hrady a tvrze.\r\n\r\nŽivot na hradě." \
    "the third new issue"
expect_count 53 "three issues added"
no_box "adding"
shot third-new

# Search by title, correct the issue found: its number, and a line added to its memo.
search title "Český"
shot search-title
click_number
xdotool key ctrl+a
type_text "11/2019"
click_memo
xdotool key ctrl+End Return
type_text "Oprava: číslo 11."
click_save
expect_row 52 "52|Český les|11/2019|Ďáblík bahenní; tůně|Přehled tůní Českého lesa.\r\nRozhovor s ochráncem přírody: ŽÁBY, ČOLCI A ČÁPI.\r\nOprava: číslo 11." \
    "correcting the issue found by its title"
no_box "search by title"

# Search by number and delete the issue found: No keeps it, Yes deletes it.
search number "7/2003"
shot search-number
click_delete
confirm n
click_delete
# The second box is up only once the first answer has been dealt with.
find_window '^Confirm$' >/dev/null && [ "$(count)" != 53 ] && fail "No deleted the issue"
confirm y
expect_count 52 "deleting the issue found by its number"
await '[ -z "$(row 53)" ]' || fail "issue 53 is still there: $(row 53)"
no_box "search by number"
shot deleted

# Searches in the parts and in the memo, then sorting: they change nothing in the catalogue,
# and while a sort order is chosen the edit group takes no typing.
before=$(catalogue "$dir/qv")
search parts "úhoř"
shot search-parts
no_box "search in the parts"
search memo "ochráncem"
shot search-memo
no_box "search in the memo"
click 30 288
shot sort-title
click_title
type_text "nic"
click_save
click 30 304
shot sort-number
click 640 300
shot show-all-sorted
click 30 272
shot unsorted
no_box "sorting"

# Export under a new name in a directory of Czech name, through the save dialog.
open_menu "$main" p
xdotool key e
dialog=$(find_window '^Uložit seznam do adresáře$')
if [ -z "$dialog" ]; then
    fail "no save dialog"
else
    # The dialog is up once everything before it has been dealt with.
    [ "$(catalogue "$dir/qv")" = "$before" ] || fail "searching and sorting changed the catalogue"
    shot save-dialog
    type_text "$work/zálohy/květen"
    xdotool key Return
    await '! is_visible "^Uložit seznam do adresáře$"' || fail "the save dialog stays up"
fi
await '[ -s "$work/zálohy/květen.mb" ]' || fail "no export: $(ls "$work/zálohy")"
# The copy is over when both files are whole: then they are the catalogue's, byte for byte.
await 'cmp -s "$dir/qv.db" "$work/zálohy/květen.db" && cmp -s "$dir/qv.mb" "$work/zálohy/květen.mb"' ||
    fail "květen.db and květen.mb differ from qv.db and qv.mb"
[ "$(catalogue "$work/zálohy/květen")" = "$(catalogue "$dir/qv")" ] ||
    fail "the export does not read as the catalogue"
no_box "export"
shot exported

# Close by the menu, by keys.
left=$(catalogue "$dir/qv")
open_menu "$main" p
xdotool key z
wait_for_exit "$pid"
[ "$rc" = 0 ] || fail "exit code $rc after &Zavřít, expected 0"
[ "$(catalogue "$dir/qv")" = "$left" ] || fail "closing changed the catalogue"
[ "$left" != "$original" ] || fail "the session left the catalogue as the demo was"

# Start again: everything as left; a search finds the corrected issue; the close box ends it.
start || exit 1
shot again
[ "$(count)" = 52 ] || fail "the second start finds $(count) issues, expected 52"
search title "Český"
shot again-search
no_box "the second start"
info=$(xprop -id "$main" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ' ')
xdotool mousemove $((X + 738 - 9)) $((Y - (HEIGHT - 521) - $(echo "$info" | cut -d, -f3) / 2)) \
    click 1
wait_for_exit "$pid"
[ "$rc" = 0 ] || fail "exit code $rc after the close box, expected 0"
[ "$(catalogue "$dir/qv")" = "$left" ] || fail "the second run changed the catalogue"

if grep -q -e 'ERROR: AddressSanitizer' -e 'runtime error:' "$work/stderr"; then
    fail "sanitizer reports: $(grep -e 'ERROR:' -e 'runtime error:' "$work/stderr" | head -n 5)"
fi
[ "$failures" = 0 ] && echo "all passed"
exit "$failures"
