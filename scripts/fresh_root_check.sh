#!/usr/bin/env bash
# Runs .ci/run in a pristine Debian 12 root, so that a tool the developers' machines happen to
# have but scripts/setup.sh does not install shows up as the failure it would be on a new
# machine. As root, with debootstrap installed (apt-get install debootstrap):
#
#   ./scripts/fresh_root_check.sh                  # the commit checked out here
#   FRESH_ROOT=/var/tmp/r KEEP_ROOT=1 ./scripts/fresh_root_check.sh
#
# Makes a minimal Debian 12 root (debootstrap --variant=minbase) in FRESH_ROOT (default
# /var/tmp/kavro-fresh-root; it must not exist yet), clones this repository's HEAD into it,
# mounts /proc and /dev, and runs .ci/run inside as root: the setup script installs what the
# build needs from the same mirror. The output goes to FRESH_LOG (default
# ./fresh_root_check.log); the script exits with .ci/run's status. The root is removed at the
# end unless KEEP_ROOT=1. MIRROR overrides the Debian mirror (default: the host's first one).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
root="${FRESH_ROOT:-/var/tmp/kavro-fresh-root}"
log="$(realpath -m "${FRESH_LOG:-fresh_root_check.log}")"
fail() { echo "fresh_root_check: $*" >&2; exit 2; }

[ "$(id -u)" -eq 0 ] || fail "run as root (debootstrap and chroot need it)"
command -v debootstrap >/dev/null || fail "debootstrap is not installed"
[ ! -e "$root" ] || fail "$root exists already; remove it or set FRESH_ROOT"
mirror="${MIRROR:-}"
if [ -z "$mirror" ]; then
  # One-line or deb822 sources, whichever the host has.
  mirror="$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources \
    2>/dev/null | sed -n -e 's/^deb \(\[[^]]*\] \)\{0,1\}\(http[^ ]*debian\/\{0,1\}\) .*/\2/p' \
    -e 's/^URIs: *\(http[^ ]*debian\/\{0,1\}\)$/\1/p' | head -n 1)" || true
fi
[ -n "$mirror" ] || fail "no Debian mirror found in /etc/apt; set MIRROR"

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
  if [ "${KEEP_ROOT:-0}" != 1 ]; then rm -rf --one-file-system "$root"; fi
}
trap cleanup EXIT

echo "fresh_root_check: debootstrap bookworm from $mirror into $root" | tee "$log"
debootstrap --variant=minbase bookworm "$root" "$mirror" >>"$log" 2>&1 ||
  fail "debootstrap failed (see $log)"
# The clone holds only what is committed: nothing of this working copy's builds comes along.
git clone --quiet --no-hardlinks "$repo" "$root/src"
git -C "$root/src" checkout --quiet --detach "$(git -C "$repo" rev-parse HEAD)"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")

echo "fresh_root_check: .ci/run at $(git -C "$repo" rev-parse --short HEAD)" | tee -a "$log"
start=$(date +%s)
status=0
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
  /bin/bash -c 'cd /src && .ci/run' >>"$log" 2>&1 || status=$?
echo "fresh_root_check: .ci/run exited with $status after $(($(date +%s) - start)) s" | tee -a "$log"
exit "$status"
