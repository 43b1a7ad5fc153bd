# The start every benchmark of the real program shares, sourced by the
# bench/win32 scripts with their name and arguments:
#   source "$(dirname "${BASH_SOURCE[0]}")/bench_start.sh" NAME "$@"
# Runs the script again under emulation for --i686-emulated (see
# kx_bench_maybe_emulated) and under Xvfb; then sets `build` (the build
# measured, the first argument or the tested one) and `work` (a scratch
# folder, now the current one, with its own Wine prefix, the stand-in engine
# registered and KestruneEX.exe copied in) and the end-to-end helpers. At exit
# `bench_cleanup` runs when the script defines it, then Wine ends and the
# folder goes (kept when KX_BENCH_KEEP is set).
source "$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/../../scripts/lib.sh"
bench_name=$1
shift
kx_bench_maybe_emulated "$@"

if [[ -z ${KX_BENCH_IN_XVFB:-} ]]; then
  export KX_BENCH_IN_XVFB=1
  exec xvfb-run -a -s '-screen 0 1280x1024x24' "$0" "$@"
fi

build=$(cd "${1:-$KX_ROOT/build/$(kx_test_preset)}" && pwd) || exit 2
echo "build: $build ($(kx_wine_build_name "$(basename "$build")"))"
KX_DRIVER=$build/tests/e2e/kx_e2e_driver.exe
KX_CHAT_SERVER=$KX_ROOT/tests/e2e/chat_server/chat_server.py
source "$KX_ROOT/tests/e2e/lib-e2e.sh"
work=$(mktemp -d "/tmp/kx-$bench_name.XXXXXX")
kx_wine_prefix "$work/prefix"
trap '! declare -F bench_cleanup >/dev/null || bench_cleanup; wineserver -k >/dev/null 2>&1; [[ -n ${KX_BENCH_KEEP:-} ]] || rm -rf "$work"' EXIT
kx_register_engine "$build/engine/J2KEngine.dll"
wineserver -p60 >/dev/null 2>&1
cd "$work"
cp "$build/bin/KestruneEX.exe" .
