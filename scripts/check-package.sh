#!/usr/bin/env bash
# Builds the Windows download and checks what it holds: exactly the program,
# its README, its licence, the third-party notices, and the stand-in engine with its note, each as built.
set -euo pipefail
source "$(dirname "$0")/lib.sh"

listing=$("$KX_ROOT/scripts/package.sh")
zip=${listing%%$'\n'*}
name=$(basename "$zip" .zip)
[[ $name =~ ^KestruneEX-[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+-win32$ ]] || { echo "bad name: $name"; exit 1; }
want=$(printf '%s\n' "$name/" "$name/KestruneEX.exe" "$name/README.txt" "$name/LICENSE.txt" "$name/THIRD-PARTY-NOTICES.txt" "$name/stand-in-engine/" \
  "$name/stand-in-engine/J2KEngine.dll" "$name/stand-in-engine/README.txt" | LC_ALL=C sort)
got=$(cmake -E tar tf "$zip" | LC_ALL=C sort)
[[ $got == "$want" ]] || { printf 'the zip holds:\n%s\nwanted:\n%s\n' "$got" "$want"; exit 1; }

out=$(mktemp -d /tmp/kx-package-check.XXXXXX)
trap 'rm -rf "$out"' EXIT
(cd "$out" && cmake -E tar xf "$zip")
cmp "$out/$name/KestruneEX.exe" "$KX_ROOT/build/win32/bin/KestruneEX.exe"
cmp "$out/$name/stand-in-engine/J2KEngine.dll" "$KX_ROOT/build/win32/engine/J2KEngine.dll"
# A 32-bit program: the PE machine type i386 (0x14c).
offset=$(od -An -tu4 -j60 -N4 "$out/$name/KestruneEX.exe" | tr -d ' ')
machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$out/$name/KestruneEX.exe" | tr -d ' ')
[[ $machine == 014c ]] || { echo "KestruneEX.exe is not a 32-bit program (machine $machine)"; exit 1; }
readme=$out/$name/README.txt
for part in "KestruneEX! ${name#KestruneEX-}" 'First steps' 'MIT licence' 'AGTH' 'ezTrans' 'Global hotkeys' 'Where the settings live' \
  'KestruneEX.ini' 'The stand-in engine'; do
  part=${part%-win32}
  grep -qF "$part" "$readme" || { echo "README.txt lacks '$part'"; exit 1; }
done
grep -q 'Niels Lohmann' "$out/$name/THIRD-PARTY-NOTICES.txt" || { echo "the notices lack the JSON library's"; exit 1; }
# The program's own licence: MIT, with the owners' line, as in the sources.
license=$out/$name/LICENSE.txt
grep -qx $'MIT License\r' "$license" || { echo "LICENSE.txt is not the MIT licence"; exit 1; }
grep -qx $'Copyright (c) 2026 the KestruneEX! authors\r' "$license" || { echo "LICENSE.txt lacks the copyright line"; exit 1; }
cmp <(tr -d '\r' <"$license") "$KX_ROOT/LICENSE" || { echo "LICENSE.txt differs from LICENSE"; exit 1; }
grep -q 'only transcribes' "$out/$name/stand-in-engine/README.txt" || { echo "the stand-in's note lacks what it is"; exit 1; }
if grep -qv $'\r$' "$readme"; then echo "README.txt has lines without CR LF"; exit 1; fi
echo "the download holds what it should: $zip"
