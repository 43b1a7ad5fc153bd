# Shared helpers of the build, run and test scripts (sourced, not run).

KX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
KX_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick x11-utils
  clang libclang-rt-14-dev fonts-wqy-microhei nlohmann-json3-dev python3
  chromium chromium-driver python3-selenium iproute2
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
  # A mirror caught mid-sync fails one index or another: go on with the rest,
  # the install below says so if something it needs is not there.
  "${sudo[@]}" apt-get update -qq || kx_log "apt-get update failed for some indexes; going on with what it got"
  # The 32-bit Wine is optional (the Wine tests fall back to the x86_64
  # build without it), so a broken i386 index must not stop the rest.
  local needed=() optional=()
  for p in "${missing[@]}"; do
    if [[ $p == *:i386 ]]; then optional+=("$p"); else needed+=("$p"); fi
  done
  if ((${#needed[@]})); then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${needed[@]}" >/dev/null
  fi
  if ((${#optional[@]})); then
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${optional[@]}" >/dev/null ||
      kx_log "could not install ${optional[*]}: the Wine tests run on the x86_64 build"
  fi
  kx_detect_wine_build  # Wine may have come just now
}

# Configures and builds one preset.
kx_build() {
  local preset=$1
  kx_log "build: $preset"
  cmake --preset "$preset" -S "$KX_ROOT" >/dev/null
  cmake --build "$KX_ROOT/build/$preset" -j"$(nproc)"
}

# The build whose Wine tests run: the i686 product, or the x86_64 build on a
# machine whose kernel cannot run 32-bit programs (no IA-32 emulation), where
# Wine's 32-bit loader cannot start at all. There "wine" is Wine's 64-bit
# loader (cmake/wine64-loader.sh) and prefixes are 64-bit.
kx_detect_wine_build() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1 || [[ ! -x /usr/lib/wine/wine64 ]]; then
    KX_WINE_BUILD=win32 KX_WINEARCH=win32
  else
    KX_WINE_BUILD=win64 KX_WINEARCH=win64
    mkdir -p "$KX_ROOT/build/wine64-path"
    local name
    for name in wine wine-stable; do
      ln -sf "$KX_ROOT/cmake/wine64-loader.sh" "$KX_ROOT/build/wine64-path/$name"
    done
    [[ :$PATH: == *":$KX_ROOT/build/wine64-path:"* ]] || export PATH="$KX_ROOT/build/wine64-path:$PATH"
  fi
}
kx_detect_wine_build

# The preset whose Windows programs this machine tests (scripts, benchmarks).
kx_test_preset() { echo "$KX_WINE_BUILD"; }

# What a Windows build runs on here, for the output of tests and benchmarks.
kx_wine_build_name() { # preset
  case $1 in
    win32) if [[ -n ${KX_I686_EMULATED:-} ]]; then
        echo "i686 build (the product), 32-bit Wine under qemu-i386 user-mode emulation"
      else
        echo "i686 build (the product), 32-bit Wine"
      fi ;;
    win64) echo "x86_64 build, 64-bit Wine" ;;
    *) echo "$1" ;;
  esac
}

# For bench/win32: "--i686-emulated" before the other arguments runs the
# benchmark again inside scripts/i686-under-emulation.sh, where the default
# build is the i686 one; its baselines are then measured there too.
kx_bench_maybe_emulated() {
  [[ ${1:-} == --i686-emulated ]] || return 0
  shift
  exec "$KX_ROOT/scripts/i686-under-emulation.sh" "$0" "$@"
}

# Runs one step of the test run, prints the time it took and keeps it for
# kx_level_summary. A failing step ends the run (errexit) and is summed up as
# failed by the summary, which the caller runs at exit.
KX_LEVEL_TIMES=()
KX_LEVEL_NOW=
kx_level() { # title command...
  KX_LEVEL_NOW=$1 KX_LEVEL_T0=$SECONDS
  shift
  kx_log "$KX_LEVEL_NOW"
  "$@"
  KX_LEVEL_TIMES+=("$(printf '%5d s  %s' $((SECONDS - KX_LEVEL_T0)) "$KX_LEVEL_NOW")")
  printf -- '-- %d s: %s\n' $((SECONDS - KX_LEVEL_T0)) "$KX_LEVEL_NOW"
  KX_LEVEL_NOW=
}
kx_level_summary() {
  [[ -n $KX_LEVEL_NOW ]] &&
    KX_LEVEL_TIMES+=("$(printf '%5d s  %s  FAILED' $((SECONDS - KX_LEVEL_T0)) "$KX_LEVEL_NOW")")
  ((${#KX_LEVEL_TIMES[@]})) || return 0
  kx_log "time per step"
  printf '%s\n' "${KX_LEVEL_TIMES[@]}"
  printf '%5d s  in all\n' "$SECONDS"
}

# Prepares a Wine prefix (booted once; later starts take about a second).
kx_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=$KX_WINEARCH WINEDLLOVERRIDES="mscoree,mshtml="
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
