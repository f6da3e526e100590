#!/usr/bin/env bash
# Builds the Debian packages with cpack, unpacks the converter's into a scratch root and
# converts an example map with the unpacked program: the same bytes as the build's own.
# Also checks the computed dependencies, the desktop files and that the manual page
# describes every option the program's --help lists.
# Usage: deb_package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

log="$(cd "$build" && cpack -G DEB -B "$scratch/packages" 2>&1)" || { echo "$log" >&2; fail "cpack"; }
deb="$(ls "$scratch"/packages/brisel42-x9_*.deb)"
dev="$(ls "$scratch"/packages/brisel42-x9-dev_*.deb)"

# Dependencies come from the linked libraries, not from a hand-written list.
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for library in libc6 libstdc++6 libsdl2-2.0-0 libexpat1; do
  grep -q "\b$library\b" <<<"$depends" || fail "$library missing from Depends"
done

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for file in usr/bin/brisel42_x9 usr/share/brisel42_x9/pyx.png usr/share/brisel42_x9/smalfont.bmp \
            usr/share/man/man1/brisel42_x9.1.gz usr/share/applications/tmx-converter.brisel42_x9.desktop \
            usr/share/doc/brisel42-x9/copyright \
            usr/share/icons/hicolor/48x48/apps/brisel42_x9.png usr/share/mime/packages/brisel42_x9.xml; do
  [[ -f "$root/$file" ]] || fail "$file not in the package"
done
dev_files="$(dpkg-deb -c "$dev")"
for file in include/brisel42/runtime/runtime.h brisel42_runtime/brisel42_runtimeConfig.cmake pkgconfig/brisel42_runtime.pc \
            usr/share/doc/brisel42-x9-dev/copyright usr/share/doc/brisel42-x9-dev/examples/game2d/CMakeLists.txt; do
  grep -q "$file" <<<"$dev_files" || fail "$file not in the development package"
done

# The unpacked converter, run from another folder, gives the build's outputs.
mkdir -p "$scratch/maps" "$scratch/reference"
cp "$source/examples/maps/village.tmx" "$scratch/maps/"
cp "$source/examples/maps/village.tmx" "$scratch/reference/"
(cd "$scratch" && "$root/usr/bin/brisel42_x9" maps/village.tmx) || fail "the unpacked converter refused the map"
"$build/bin/brisel42_x9" -q "$scratch/reference/village.tmx"
for ext in txt pyxm; do
  cmp "$scratch/maps/village.$ext" "$scratch/reference/village.$ext" || fail "village.$ext differs"
done

# The desktop entry starts the window mode on the files it is given and names its type.
entry="$root/usr/share/applications/tmx-converter.brisel42_x9.desktop"
grep -qx "Exec=brisel42_x9 --window %F" "$entry" || fail "desktop entry does not open files in the window"
mime_types="$(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' ')"
[[ -n "$mime_types" ]] || fail "desktop entry names no MIME type"
for mime_type in $mime_types; do
  grep -q "type=\"$mime_type\"" "$root/usr/share/mime/packages/brisel42_x9.xml" || fail "MIME type $mime_type not defined"
done
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry"; fi
# The menu category follows the package's section.
section="$(dpkg-deb -f "$deb" Section)"
declare -A category_of=([graphics]=Graphics [devel]=Development [games]=Game [utils]=Utility)
[[ -n "${category_of[$section]:-}" ]] || fail "no menu category known for section $section"
grep -q "^Categories=\(.*;\)\?${category_of[$section]};" "$entry" || fail "Categories do not match the section $section"
xmllint --noout "$root/usr/share/mime/packages/brisel42_x9.xml"

# Every option of --help is in the manual page, which formats without warnings.
page="$scratch/brisel42_x9.1"
gzip -dc "$root/usr/share/man/man1/brisel42_x9.1.gz" >"$page"
grep -q "brisel42_x9 $(dpkg-deb -f "$deb" Version)" "$page" || fail "the manual page does not carry the package's version"
warnings="$(groff -man -Tutf8 -ww -z "$page" 2>&1)"
[[ -z "$warnings" ]] || fail "manual page: $warnings"
options="$("$root/usr/bin/brisel42_x9" --help | grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,' | sort -u)"
[[ -n "$options" ]] || fail "no options found in --help"
for option in $options; do
  escaped="${option//-/\\\\-}"
  grep -q -- "$escaped" "$page" || fail "option $option is not in the manual page"
done
echo "package checks passed"
