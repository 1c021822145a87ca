#!/usr/bin/env bash
# Installs a build the way the Debian package does (prefix /usr under a
# DESTDIR) into a temporary folder and checks what a desktop and its user find
# there: exactly the expected files, working program links, a valid menu entry
# and AppStream file that point at the installed icon, manual pages that cover
# every option, and programs that find their Dic folder beside themselves.
#
# Usage: check_install.sh BUILD_DIR SOURCE_DIR APP_ID
# Needs desktop-file-validate (desktop-file-utils), appstreamcli (appstream)
# and man (man-db). Prints every failure, exits 1 when there was one.
set -uo pipefail
build=$1 source=$2 id=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
usr=$root/usr
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    fail "cmake --install failed"
    exit 1
fi

# --- The layout: these files and no others. ---
expected=(
    usr/bin/parlino usr/bin/parlino-render
    usr/lib/parlino/parlino usr/lib/parlino/parlino-render usr/lib/parlino/README.md
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg
    usr/share/man/man1/parlino.1 usr/share/man/man1/parlino-render.1
)
for dic in "$source"/Dic/*; do expected+=("usr/lib/parlino/Dic/${dic##*/}"); done
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$id.png"); done
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | sort) \
    >"$work/layout.diff" || { cat "$work/layout.diff"; fail "installed files differ from the expected layout (< expected, > installed)"; }

for program in parlino parlino-render; do
    link=$usr/bin/$program
    [[ -L $link && $(readlink "$link") == ../lib/parlino/$program ]] || fail "$link is not the relative link ../lib/parlino/$program"
    [[ -x $link ]] || fail "$link does not lead to an executable"
done

# PNG width and height sit in bytes 16..23 of the file, big-endian.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{print $3 * 256 + $4 "x" $7 * 256 + $8}'; }
for size in "${sizes[@]}"; do
    icon=$usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    [[ -f $icon && $(png_size "$icon") == "${size}x${size}" ]] || fail "$icon is not a ${size}x${size} PNG"
done
grep -q '<svg' "$usr/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is no SVG"

# --- The menu entry. ---
desktop=$usr/share/applications/$id.desktop
validation=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate failed: $validation"
grep -v ': hint: ' <<<"$validation" | grep -q . && fail "desktop-file-validate complains: $validation"
key() { sed -n "s/^$1=//p" "$desktop"; }
[[ $(key Exec) == "parlino %f" ]] || fail "Exec is '$(key Exec)', not 'parlino %f' (a file opened from the file manager must reach the program)"
[[ $(key Icon) == "$id" ]] || fail "Icon is '$(key Icon)', not the installed icon $id"
for type in application/x-subrip text/vtt text/x-ssa; do
    [[ ";$(key MimeType)" == *";$type;"* ]] || fail "MimeType does not offer $type files"
done
for category in AudioVideo Accessibility; do
    [[ ";$(key Categories)" == *";$category;"* ]] || fail "Categories lacks $category"
done
for field in Name GenericName Comment; do [[ -n $(key "$field") ]] || fail "$field is empty"; done

# --- The AppStream data. ---
metainfo=$usr/share/metainfo/$id.metainfo.xml
validation=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate failed: $validation"
grep -Eq '^[EW]: ' <<<"$validation" && fail "appstreamcli validate complains: $validation"
grep -q "<id>$id</id>" "$metainfo" || fail "the AppStream id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the AppStream data does not launch $id.desktop"
grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "no content rating"
grep -q '<release version=' "$metainfo" || fail "no release"
# Each screenshot is published from assets/screenshots and has the size it claims.
screenshots=$(sed -n 's|.*<image[^>]*width="\([0-9]*\)" height="\([0-9]*\)"[^>]*>[^<]*/\([^/<]*\)</image>.*|\3 \1x\2|p' "$metainfo")
[[ -n $screenshots ]] || fail "no screenshot with width and height"
while read -r name size; do
    [[ -z $name ]] && continue
    shot=$source/assets/screenshots/$name
    [[ -f $shot && $(png_size "$shot") == "$size" ]] || fail "screenshot $shot is missing or not $size"
done <<<"$screenshots"

# --- The programs, started through their links. ---
export QT_QPA_PLATFORM=offscreen
# Whatever the programs keep stays in the temporary folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
help=$(timeout 20 "$usr/bin/parlino-render" --help) || fail "parlino-render --help failed"
printf '1\n00:00:01,000 --> 00:00:02,000\nDr. Who\n\n' >"$work/dr.srt"
list=$(timeout 20 "$usr/bin/parlino-render" --list --dic English.dic "$work/dr.srt" 2>&1)
[[ $list == *"Doctor Who"* ]] || fail "parlino-render does not find English.dic in the Dic folder beside it: $list"
# An option must be refused at once, not taken for a file (the window would open and wait).
timeout 20 "$usr/bin/parlino" --help >"$work/out" 2>&1
status=$?
[[ $status -eq 2 ]] && grep -q "unknown option '--help'" "$work/out" ||
    fail "parlino --help gave status $status and '$(cat "$work/out")', not 2 and the one-file message"

# --- The manual pages: they render cleanly and name every option of --help. ---
export LC_ALL=C # plain ASCII hyphens in the rendered pages
for page in parlino parlino-render; do
    warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man reports for $page.1: $warnings"
done
page=$(MANWIDTH=200 man -l "$usr/share/man/man1/parlino-render.1" 2>/dev/null)
options=$(grep -oE '^  +(-o|--[a-z-]+)' <<<"$help" | tr -d ' ')
[[ -n $options ]] || fail "no options found in parlino-render --help"
for option in $options; do
    grep -qE -- "(^|[^-a-z])$option([^-a-z]|\$)" <<<"$page" || fail "the parlino-render manual page does not describe $option"
done

[[ $failures -eq 0 ]] && echo "The installed layout is complete and valid."
[[ $failures -eq 0 ]]
