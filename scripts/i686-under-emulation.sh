#!/usr/bin/env bash
# Runs a command where Debian's 32-bit Wine runs, on a machine whose kernel
# runs no 32-bit x86 code: the i686 build of the program is then tested as
# users get it.
#
#   scripts/i686-under-emulation.sh [--setup] [--] command [args...]
#
# The first run builds (as root, touching none of the host's packages) a
# Debian 12 root in a cached folder: 32-bit and 64-bit Wine, Xvfb and the
# tools of the tests, and the static qemu-i386 of bookworm-backports (the
# qemu of bookworm itself takes about a minute of CPU for each Wine process to
# start). Later runs reuse it; it is built anew when its recipe below changes.
#
# The command runs in a private user, mount and pid namespace whose own
# binfmt_misc hands i386 programs to qemu (kernels from 6.7 give each user
# namespace its own; on older ones the handler is registered on the host for
# the run and removed afterwards), chrooted into that root, with the checkout,
# /tmp, /dev and /sys visible at the same paths and the current folder kept.
# When the command ends, everything it left running (Xvfb, wineserver, Wine's
# services) is ended and the X locks of its displays are removed; the exit
# status is the command's. SIGINT or SIGTERM ends the command the same way.
#
#   --setup   only build (or check) the root, run nothing
#
# Environment:
#   KX_I686_CACHE   the cached folder (default /var/cache/kestruneex-i686)
#   KX_I686_MIRROR  the Debian mirror (default http://deb.debian.org/debian)
#   KX_I686_BIND    further host folders to show inside, separated by ':'
# The command sees KX_I686_EMULATED=1.
# The host's Wine settings (WINELOADER, WINESERVER, WINEARCH) and PATH do not
# reach the command; WINEPREFIX does, so give it a 32-bit prefix or none.
set -euo pipefail

checkout=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=${KX_I686_CACHE:-/var/cache/kestruneex-i686}
mirror=${KX_I686_MIRROR:-http://deb.debian.org/debian}
root=$cache/root
qemu_dir=/opt/kx-qemu   # inside the root
inner_path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

# --- the recipe (a change here rebuilds the root) -------------------------
suites=(bookworm bookworm-updates bookworm-backports)   # not -security: its i386 index lags at times
packages=(
  wine wine32:i386 wine64 fonts-wine
  libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386 libxfixes3:i386
  libxinerama1:i386 libxcomposite1:i386 libgnutls30:i386
  xvfb xauth x11-utils xdotool imagemagick fontconfig fonts-wqy-microhei
  cmake python3 procps
)
qemu_package=qemu-user/bookworm-backports

build_root() { # folder
  local new=$1
  debootstrap --variant=minbase --arch=amd64 bookworm "$new" "$mirror"
  local s
  for s in "${suites[@]}"; do echo "deb $mirror $s main"; done >"$new/etc/apt/sources.list"
  printf '#!/bin/sh\nexit 101\n' >"$new/usr/sbin/policy-rc.d"   # no service starts in there
  chmod +x "$new/usr/sbin/policy-rc.d"
  mount -t proc proc "$new/proc"
  chroot "$new" dpkg --add-architecture i386
  chroot "$new" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive chroot "$new" apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
  # Only qemu-i386 and its argv0-preserving twin, unpacked without scripts.
  chroot "$new" sh -c "cd /tmp && apt-get download -qq $qemu_package"
  chroot "$new" sh -c 'dpkg-deb -x /tmp/qemu-user_*.deb /tmp/qemu-user && dpkg-deb -f /tmp/qemu-user_*.deb Version' \
    >"$new/tmp/qemu-version"
  mkdir -p "$new$qemu_dir"
  cp "$new/tmp/qemu-user/usr/bin/qemu-i386" "$new$qemu_dir/"
  ln -s qemu-i386 "$new$qemu_dir/i386-binfmt-P"   # as the package has it: named so, qemu keeps argv[0]
  mv "$new/tmp/qemu-version" "$new$qemu_dir/version"
  rm -rf "$new"/tmp/qemu-user* "$new"/var/cache/apt/archives/*.deb "$new"/var/lib/apt/lists/*_dists_*
  umount "$new/proc"
}
# ---------------------------------------------------------------------------

recipe=$(printf '%s\n' "${suites[@]}" "${packages[@]}" "$qemu_package" "$mirror" "$qemu_dir"
  declare -f build_root)
recipe_sum=$(sha256sum <<<"$recipe" | cut -d' ' -f1)

log() { printf '== %s\n' "$*" >&2; }

# Builds the root when it is missing or was built by another recipe. Takes
# the cache's lock exclusively; runs hold it shared, so a rebuild waits for them.
ensure_root() {
  mkdir -p "$cache"
  exec 9>"$cache/lock"
  flock -s 9
  [[ -f $cache/recipe && $(cat "$cache/recipe") == "$recipe_sum" && -x $root$qemu_dir/qemu-i386 ]] && return 0
  flock 9
  [[ -f $cache/recipe && $(cat "$cache/recipe") == "$recipe_sum" && -x $root$qemu_dir/qemu-i386 ]] && { flock -s 9; return 0; }
  if [[ $(id -u) != 0 ]]; then   # debootstrap and apt need root; the runs do not
    flock -u 9
    sudo env KX_I686_CACHE="$cache" KX_I686_MIRROR="$mirror" "$0" --setup
    flock -s 9
    return 0
  fi
  if ! command -v debootstrap >/dev/null; then
    log "installing debootstrap"
    apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  fi
  log "building the i686 test root in $root (a minute or two, about 2 GB)"
  local t0=$SECONDS new=$cache/root.new
  rm -rf "$new" "$cache/recipe"
  mkdir -p "$new"
  # In a mount namespace of its own: whatever the build mounts goes with it.
  export -f build_root
  export new mirror qemu_dir qemu_package
  export suites_list="${suites[*]}" packages_list="${packages[*]}"
  if ! unshare --mount --propagation private --fork bash -c '
      set -euo pipefail
      read -ra suites <<<"$suites_list"; read -ra packages <<<"$packages_list"
      build_root "$new"' >"$cache/build.log" 2>&1; then
    log "building the root failed; the end of $cache/build.log:"
    tail -n 30 "$cache/build.log" >&2
    exit 2
  fi
  rm -rf "$root"
  mv "$new" "$root"
  echo "$recipe_sum" >"$cache/recipe"
  log "i686 test root ready in $((SECONDS - t0)) s (qemu $(cat "$root$qemu_dir/version"))"
  flock -s 9
}

setup_only=0
while (($#)); do
  case $1 in
    --setup) setup_only=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done
((setup_only || $#)) || { echo "usage: $0 [--setup] [--] command [args...]" >&2; exit 2; }
ensure_root
((setup_only)) && exit 0

# The i386 ELF header and the bits of it that must match (qemu's own).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
handler=kestruneex-i386-$$
kernel=$(uname -r)
own_binfmt=1
IFS=. read -r kmajor kminor _ <<<"$kernel"
((kmajor > 6 || (kmajor == 6 && kminor >= 7))) || own_binfmt=0

# Older kernels: one binfmt_misc for all, so the handler is the host's for the run.
host_binfmt=/proc/sys/fs/binfmt_misc
if ((!own_binfmt)); then
  [[ -w $host_binfmt/register ]] || mount -t binfmt_misc binfmt_misc "$host_binfmt"
  printf ':%s:M::%s:%s:%s:OPF\n' "$handler" "$magic" "$mask" "$root$qemu_dir/i386-binfmt-P" >"$host_binfmt/register"
fi

binds=("$checkout")
[[ -n ${KX_I686_BIND:-} ]] && IFS=: read -ra extra <<<"$KX_I686_BIND" && binds+=("${extra[@]}")

# Process 1 of the new pid namespace: sets the namespace up, runs the command
# as its child (xvfb-run must not be process 1: it would never hear that Xvfb
# is ready) and ends what the command left behind before the namespace goes,
# which would kill it without a chance to remove its locks.
init_script='
set -uo pipefail
fail() { echo "i686-under-emulation: $*" >&2; exit 2; }
mount -t proc proc "$root/proc" || fail "cannot mount proc"
if ((own_binfmt)); then
  mount -t binfmt_misc binfmt_misc "$root/proc/sys/fs/binfmt_misc" || fail "cannot mount binfmt_misc in the namespace"
  printf ":qemu-i386:M::%s:%s:%s:OPF\n" "$magic" "$mask" "$root$qemu_dir/i386-binfmt-P" \
    >"$root/proc/sys/fs/binfmt_misc/register" || fail "cannot register the i386 handler"
fi
for d in /sys /dev /tmp "${binds[@]}"; do
  mkdir -p "$root$d" && mount --rbind "$d" "$root$d" || fail "cannot show $d inside"
done

# Ends every other process of the namespace: TERM first (Xvfb removes its
# lock, Wine its server), KILL what is left after 10 s; then removes the locks
# and sockets of displays whose Xvfb did not.
end_the_rest() {
  local p displays=() d i line
  others
  ((${#OTHERS[@]})) || return 0
  for p in "${OTHERS[@]}"; do
    read -r line 2>/dev/null <"$root/proc/$p/comm" || continue
    [[ $line == Xvfb ]] || continue
    while IFS= read -r -d "" d; do
      [[ $d =~ ^:[0-9]+$ ]] && displays+=("${d#:}:$p") && break
    done <"$root/proc/$p/cmdline"
  done
  kill -TERM "${OTHERS[@]}" 2>/dev/null
  for i in $(seq 100); do
    others
    ((${#OTHERS[@]})) || break
    sleep 0.1
  done
  ((${#OTHERS[@]})) && kill -KILL "${OTHERS[@]}" 2>/dev/null
  for d in "${displays[@]}"; do
    # Only a lock that still names our Xvfb.
    read -r line 2>/dev/null <"/tmp/.X${d%%:*}-lock" || continue
    if [[ $line == "${d#*:}" ]]; then
      rm -f "/tmp/.X${d%%:*}-lock" "/tmp/.X11-unix/X${d%%:*}"
    fi
  done
  return 0
}
# The processes of the namespace but this one, zombies left out (OTHERS).
others() {
  local p line
  OTHERS=()
  for p in "$root"/proc/[0-9]*; do
    p=${p##*/}
    ((p == 1)) && continue
    read -r line 2>/dev/null <"$root/proc/$p/stat" || continue
    line=${line##*) }
    [[ ${line%% *} == Z ]] || OTHERS+=("$p")
  done
}

cd_to=/
[[ -d $root$workdir ]] && cd_to=$workdir
env -u WINELOADER -u WINESERVER -u WINEARCH -u XDG_RUNTIME_DIR PATH="$inner_path" KX_I686_EMULATED=1 \
  chroot "$root" /bin/sh -c "cd \"\$1\" && shift && exec \"\$@\"" sh "$cd_to" "$@" &
cmd=$!
stop() { kill -TERM "$cmd" 2>/dev/null; wait "$cmd"; end_the_rest; exit 143; }
trap stop TERM INT HUP
wait "$cmd"
rc=$?
end_the_rest
exit $rc
'

export root qemu_dir magic mask own_binfmt inner_path
export workdir=$PWD
export binds_list
binds_list=$(printf '%s\n' "${binds[@]}")
unshare --user --map-root-user --mount --propagation private --pid --fork --kill-child \
  bash -c 'mapfile -t binds <<<"$binds_list"; '"$init_script" bash "$@" &
ns=$!

# unshare itself ignores SIGTERM: a signal to us goes to process 1 inside,
# which ends the command and the rest; KILL after 30 s if that hangs.
forward() {
  local init
  init=$(cat "/proc/$ns/task/$ns/children" 2>/dev/null | awk '{print $1}')
  [[ -n $init ]] && kill -TERM "$init" 2>/dev/null
  for _ in $(seq 300); do
    kill -0 "$ns" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$ns" 2>/dev/null || true
}
cleanup_host() {
  ((own_binfmt)) || { [[ -e $host_binfmt/$handler ]] && echo -1 >"$host_binfmt/$handler"; }
  return 0
}
trap 'forward; cleanup_host; exit 143' TERM INT HUP
rc=0
wait "$ns" || rc=$?
cleanup_host
exit $rc
