#!/usr/bin/env bash
# Installing the converter beside the map editor leaves the editor the default program for
# .tmx maps, while "Open with" still lists the converter: both desktop entries and MIME
# files go into a scratch data folder, the caches are built as the package's triggers build
# them, and the desktop's own lookup (gio, and xdg-mime where present) is asked.
# Usage: desktop_default_test.sh BUILD_DIR SOURCE_DIR   (exit 77: skipped)
set -euo pipefail
build="$1"
source="$2"
editor_entry=/usr/share/applications/org.mapeditor.Tiled.desktop
for tool in gio update-desktop-database update-mime-database; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[[ -f "$editor_entry" ]] || { echo "SKIP: the map editor is not installed"; exit 77; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

data="$scratch/share"
mkdir -p "$data/applications" "$data/mime/packages" "$scratch/home" "$scratch/config"
cp "$editor_entry" "$data/applications/"
cp /usr/share/mime/packages/freedesktop.org.xml /usr/share/mime/packages/org.mapeditor.Tiled.xml "$data/mime/packages/"
# The names the package installs them under (cmake/install.cmake).
installed_entry="$(sed -n 's/^set(DESKTOP_ENTRY_NAME \(.*\))$/\1/p' "$source/cmake/install.cmake")"
[[ -n "$installed_entry" ]] || fail "no DESKTOP_ENTRY_NAME in cmake/install.cmake"
cp "$source/packaging/brisel42_x9.desktop" "$data/applications/$installed_entry"
cp "$source/packaging/brisel42_x9-mime.xml" "$data/mime/packages/brisel42_x9.xml"
update-mime-database "$data/mime"
update-desktop-database "$data/applications"

# The lookup sees only the scratch folders; the converter's program is on the PATH, as
# installed (entries whose program is missing are left out).
export XDG_DATA_DIRS="$data" XDG_DATA_HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/config"
export PATH="$build/bin:$PATH"
report="$(gio mime application/x-tiled-tmx)"
echo "$report"
grep -q "^Default application for .*: org.mapeditor.Tiled.desktop$" <<<"$report" || fail "the converter took .tmx maps from the editor"
grep -q "^	$installed_entry$" <<<"$report" || fail "the converter is not offered for .tmx maps"
if command -v xdg-mime >/dev/null; then
  default="$(XDG_CURRENT_DESKTOP= xdg-mime query default application/x-tiled-tmx)"
  [[ "$default" == org.mapeditor.Tiled.desktop ]] || fail "xdg-mime names $default as the default for .tmx maps"
fi
echo "desktop defaults passed"
