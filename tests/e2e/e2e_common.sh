# Sourced first by the end-to-end scripts (SCRIPT ARCH BUILD_DIR): their arguments, the
# repository root, the skip (exit 77) where wine32 cannot run, and helpers that run this build's
# Windows programs and count failed steps. A script may define its own helpers after it.
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac

# Extra environment of the programs run (a locale, another prefix); kept out of this shell.
wenv=()
w() { env "${wenv[@]}" "$root/cmake/wine-run" "$arch" "$@"; }
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
vtploc() { w "$(winpath "$build/tools/vtploc/vtploc.exe")" "$@"; }

fails=0
fail() { fails=$((fails + 1)); echo "FAIL $*"; }
step() { # step DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else fail "$what"; fi
}
