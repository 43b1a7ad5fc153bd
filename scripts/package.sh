#!/usr/bin/env bash
# Builds the Windows download from the i686 product build:
#   dist/KestruneEX-<FileVersion>-win32.zip
#     KestruneEX.exe, README.txt, LICENSE.txt, THIRD-PARTY-NOTICES.txt,
#     stand-in-engine/J2KEngine.dll and stand-in-engine/README.txt
#   scripts/package.sh            (builds the win32 preset first)
# Prints the zip's path and its contents.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

# The one version number, in the project() call.
version=$(sed -n 's/^project(KestruneEX VERSION \([0-9.]*\).*/\1/p' "$KX_ROOT/CMakeLists.txt")
[[ -n $version ]] || { echo "no VERSION in the project() call of CMakeLists.txt" >&2; exit 1; }
kx_build win32 >/dev/null
build=$KX_ROOT/build/win32
name=KestruneEX-$version-win32
stage=$(mktemp -d /tmp/kx-package.XXXXXX)
trap 'rm -rf "$stage"' EXIT
mkdir -p "$stage/$name/stand-in-engine" "$KX_ROOT/dist"
cp "$build/bin/KestruneEX.exe" "$stage/$name/"
cp "$build/engine/J2KEngine.dll" "$stage/$name/stand-in-engine/"
# Windows' Notepad of old wants CR LF.
sed "s/@VERSION@/$version/; s/\$/\r/" "$KX_ROOT/packaging/README.txt" >"$stage/$name/README.txt"
sed 's/$/\r/' "$KX_ROOT/packaging/THIRD-PARTY-NOTICES.txt" >"$stage/$name/THIRD-PARTY-NOTICES.txt"
sed 's/$/\r/' "$KX_ROOT/LICENSE" >"$stage/$name/LICENSE.txt"
sed 's/$/\r/' "$KX_ROOT/packaging/stand-in-engine.txt" >"$stage/$name/stand-in-engine/README.txt"
zip=$KX_ROOT/dist/$name.zip
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip "$name")
echo "$zip"
cmake -E tar tf "$zip"
