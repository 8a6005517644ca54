#!/usr/bin/env bash
# Builds the Debian package from a configured build directory, unpacks it into a scratch root
# with dpkg -x, checks that the files are where the unit expects them, and runs
# systemd-analyze verify on the unit as packaged (pointed at the unpacked binary and man page).
#
# Usage: scripts/package-check.sh [BUILD_DIR]   (default ./build)
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
root="$(mktemp -d "${TMPDIR:-/tmp}/zebd-deb-XXXXXX")"
trap 'rm -rf "$root"' EXIT

cmake --build "$build" --target zebd zebd_man -j"$(nproc)" >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls -t "$build"/zebd_*.deb | head -n 1)"
dpkg-deb --info "$deb" | grep -E '^ (Package|Version|Depends):'
dpkg-deb -x "$deb" "$root"

unit="$root/usr/lib/systemd/system/zebd.service"
exec_path="$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$unit")"
for file in "$unit" "$root$exec_path" "$root/usr/share/man/man8/zebd.8.gz" "$root/usr/share/zebd/ldap/zeb-schema.ldif"; do
  [[ -f "$file" ]] || { echo "package-check: missing ${file#"$root"}" >&2; exit 1; }
done
# The help is read whole before it is searched: grep -q leaving the pipe early would kill zebd
# with SIGPIPE half-way through its help, which pipefail reports as a failure.
help="$("$root$exec_path" --help)" || { echo "package-check: packaged zebd does not run" >&2; exit 1; }
grep -q -- '--admin-listen' <<<"$help" || { echo "package-check: packaged zebd has no --admin-listen" >&2; exit 1; }
man -l "$root/usr/share/man/man8/zebd.8.gz" >/dev/null

mkdir -p "$root/verify"
sed "s|^ExecStart=$exec_path|ExecStart=$root$exec_path|" "$unit" >"$root/verify/zebd.service"
MANPATH="$root/usr/share/man" systemd-analyze verify "$root/verify/zebd.service"
echo "package-check: $(basename "$deb") unpacks with zebd, its unit and zebd(8); the unit verifies"
