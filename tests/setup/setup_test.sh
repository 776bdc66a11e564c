#!/usr/bin/env bash
# ./run setup against a stand-in apt and dpkg (first on PATH): a mirror mid-sync, an install that
# only resolves with the stale suite pinned down, a package that cannot be installed, and the
# quiet run when nothing is missing.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake=$work/bin
mkdir -p "$fake"
export FAKE_STATE=$work/installed FAKE_CALLS=$work/calls

cat >"$fake/id" <<'SH'
#!/bin/sh
echo 0
SH
cat >"$fake/dpkg" <<'SH'
#!/bin/sh
case "$1" in
  --print-foreign-architectures) echo i386 ;;
  --add-architecture) ;;
  -s) grep -qxF "$2" "$FAKE_STATE" ;;
esac
SH
# apt-get: the security suite's i386 index is mid-sync; an install resolves only with that suite
# pinned below the installed versions; FAKE_BROKEN names a package nothing can install.
cat >"$fake/apt-get" <<'SH'
#!/bin/bash
echo "apt-get $*" >>"$FAKE_CALLS"
if [ "$1" = update ]; then
  echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" >&2
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  exit 100
fi
pinned=no pkgs=()
while [ $# -gt 0 ]; do
  case "$1" in
    -o) case "$2" in Dir::Etc::Preferences=*)
          f=${2#Dir::Etc::Preferences=}
          grep -q '^Pin: release n=bookworm-security$' "$f" &&
            [ "$(sed -n 's/^Pin-Priority: //p' "$f")" -lt 100 ] && pinned=yes ;;
        esac; shift 2 ;;
    install|-y|-qq|--no-install-recommends) shift ;;
    *) pkgs+=("$1"); shift ;;
  esac
done
if [ $pinned = no ]; then
  echo "E: Unable to correct problems, you have held broken packages." >&2
  exit 100
fi
for p in "${pkgs[@]}"; do
  [ "$p" = "${FAKE_BROKEN:-}" ] && { echo "E: Package '$p' has no installation candidate" >&2; exit 100; }
done
printf '%s\n' "${pkgs[@]}" >>"$FAKE_STATE"
SH
chmod +x "$fake"/*

packages=$(sed -n '/^PACKAGES=(/,/)/p' "$root/run" | tr -d '()' | sed 's/PACKAGES=//' | tr -s ' \n' '\n' | grep -v '^$')
fails=0
check() { # what, condition...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fails=$((fails + 1)); fi
}
run_setup() { PATH=$fake:$PATH bash "$root/run" setup >"$work/out" 2>&1; echo $? >"$work/rc"; }

# Everything there: no apt call, no output.
printf '%s\n' $packages >"$FAKE_STATE"; : >"$FAKE_CALLS"
run_setup
check "nothing missing: exit 0" test "$(cat "$work/rc")" = 0
check "nothing missing: quiet" test ! -s "$work/out"
check "nothing missing: apt not called" test ! -s "$FAKE_CALLS"

# wine32 and xvfb missing, the mirror mid-sync: a warning, then the pinned install.
printf '%s\n' $packages | grep -vx -e 'wine32:i386' -e xvfb >"$FAKE_STATE"; : >"$FAKE_CALLS"
run_setup
check "mirror mid-sync: exit 0" test "$(cat "$work/rc")" = 0
check "mirror mid-sync: the failed index is a warning" grep -q 'warning: apt-get update could not fetch every index' "$work/out"
check "mirror mid-sync: says which suite it pinned" grep -q 'trying again with bookworm-security pinned below the installed versions' "$work/out"
check "mirror mid-sync: both packages installed" grep -qx 'wine32:i386' "$FAKE_STATE"
check "mirror mid-sync: installed once unpinned, once pinned" test "$(grep -c ' install ' "$FAKE_CALLS")" = 2

# A package that still cannot be installed: the run ends and names it.
printf '%s\n' $packages | grep -vx -e 'wine32:i386' -e xvfb >"$FAKE_STATE"; : >"$FAKE_CALLS"
FAKE_BROKEN=xvfb run_setup
check "uninstallable: exit 1" test "$(cat "$work/rc")" = 1
check "uninstallable: names the packages" grep -q 'setup failed: could not install wine32:i386 xvfb' "$work/out"

[ $fails -eq 0 ] || { echo "--- last output:"; cat "$work/out"; exit 1; }
