# Shared helpers of the build, run and test scripts (sourced, not run).

KX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KX_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick x11-utils
  clang libclang-rt-14-dev fonts-wqy-microhei
)

kx_log() { printf '\n== %s\n' "$*"; }

# Installs whatever of the packages above is missing (Debian 12).
kx_ensure_packages() {
  local missing=() p
  for p in "${KX_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  ((${#missing[@]} == 0)) && return 0
  kx_log "installing: ${missing[*]}"
  local sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo[@]}" dpkg --add-architecture i386
  fi
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures and builds one preset.
kx_build() {
  local preset=$1
  kx_log "build: $preset"
  cmake --preset "$preset" -S "$KX_ROOT" >/dev/null
  cmake --build "$KX_ROOT/build/$preset" -j"$(nproc)"
}

# True when this machine runs 32-bit x86 programs (wine32). Some kernels are
# built without that; there the tests run on the x86_64 build under wine64.
kx_runs_i386() {
  [[ -e /lib/ld-linux.so.2 ]] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# The preset whose Windows programs this machine can test: win32 (the
# product) where 32-bit programs run, else win64.
kx_test_preset() {
  if kx_runs_i386; then echo win32; else echo win64; fi
}

# Puts a "wine" first on PATH that starts the 64-bit loader, for machines
# without 32-bit support (Debian's wine script would pick wine32 whenever it
# is installed).
kx_wine64_on_path() {
  local shim=$KX_ROOT/build/wine64-shim
  mkdir -p "$shim"
  printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$shim/wine"
  chmod +x "$shim/wine"
  cp "$shim/wine" "$shim/wine-stable"
  case ":$PATH:" in *":$shim:"*) ;; *) export PATH=$shim:$PATH ;; esac
}

# Prepares a Wine prefix (booted once; later starts take about a second):
# 32-bit where this machine runs 32-bit programs, else 64-bit.
kx_wine_prefix() {
  local arch=win32
  if ! kx_runs_i386; then
    arch=win64
    kx_wine64_on_path
  fi
  export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=$arch WINEDLLOVERRIDES="mscoree,mshtml="
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    kx_log "booting Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
}

# Copies the stand-in engine into the prefix and registers it where the
# program looks for ezTrans.
kx_register_engine() {
  local dll=$1 folder="$WINEPREFIX/drive_c/ezTrans"
  mkdir -p "$folder/Dat"
  cp "$dll" "$folder/J2KEngine.dll"
  wine reg add 'HKCU\Software\ChangShin\ezTrans' /v FilePath /t REG_SZ /d 'C:\ezTrans' /f >/dev/null 2>&1
  wineserver -w
}
