#!/usr/bin/env bash
# End-to-end test of a program built with the framework's own tools (fixtures/fwapp: no settings
# records): its dictionary extracted, pseudo-translated and built into APP.QPS beside it by this
# build's vtploc under Wine, then read back by fwloader the way that framework's run-time library
# reads it, on a system whose ANSI code page is 1252 and on one whose code page is 1251.
# Artifacts stay in BUILD_DIR/e2e-fwapp.
#   fwapp_e2e.sh ARCH BUILD_DIR
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac
art=$build/e2e-fwapp
rm -rf "$art"
mkdir -p "$art/app"
app=$art/app
cp "$build/fixtures/bin/fwapp.exe" "$build/fixtures/bin/fwloader.exe" "$app/"
export WINEPREFIX=$art/prefix
cleanup() { WINEPREFIX=$art/prefix /usr/lib/wine/wineserver -k 2>/dev/null; WINEPREFIX=$art/prefix1251 /usr/lib/wine/wineserver -k 2>/dev/null; }
trap cleanup EXIT
w() { "$root/cmake/wine-run" "$arch" "$@"; }
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
vtploc() { w "$(winpath "$build/tools/vtploc/vtploc.exe")" "$@"; }

fails=0
step() { # step DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else fails=$((fails + 1)); echo "FAIL $what"; fi
}
step "lng extract" vtploc lng extract --app "$(winpath "$app/fwapp.exe")" --lang ENU -o "$(winpath "$app/fwapp.ntv.lng")"
step "lng pseudo" vtploc lng pseudo "$(winpath "$app/fwapp.ntv.lng")" -o "$(winpath "$app/fwapp.qps.lng")"
step "module build --out-dir" vtploc module build --app "$(winpath "$app/fwapp.exe")" --lang "$(winpath "$app/fwapp.qps.lng")" \
  --native "$(winpath "$app/fwapp.ntv.lng")" --out-dir "$(winpath "$app")"
step "module verify" vtploc module verify --app "$(winpath "$app/fwapp.exe")" "$(winpath "$app/fwapp.QPS")"
step "lng dump" vtploc lng dump "$(winpath "$app/fwapp.ntv.lng")" -o "$(winpath "$art/fwapp.ntv.json")"

# The program's own texts (no module of that name), the module's by its abbreviation, and by the
# user's locale abbreviation as the run-time library finds it.
load() { # load OUT ARGS...
  local out=$1; shift
  w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwapp.exe")" "$@" >"$art/$out.txt" 2>"$art/$out.err"
}
step "reads the program's own texts" load native NONE
step "reads the module by its abbreviation" load qps QPS
user=$(w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwapp.exe")" 2>&1 >/dev/null | sed -n 's/.*fwapp\.\([A-Za-z-]*\) (ANSI.*/\1/p')
if [ -n "$user" ]; then
  cp "$app/fwapp.QPS" "$app/fwapp.$user"
  step "finds APP.$user by the user's locale" load user
  grep -q "fwapp\.$user (ANSI" "$art/user.err" || { fails=$((fails + 1)); echo "FAIL the module of the user's locale was not loaded"; }
  rm -f "$app/fwapp.$user"
else
  fails=$((fails + 1)); echo "FAIL no locale abbreviation from fwloader"
fi

# The same module on a system whose ANSI code page is 1251.
export WINEPREFIX=$art/prefix1251
w wineboot.exe -i >/dev/null 2>&1
/usr/lib/wine/wineserver -w
w reg add 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP /t REG_SZ /d 1251 /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
step "reads the module on code page 1251" load qps1251 QPS
step "reads the program on code page 1251" load native1251 NONE
export WINEPREFIX=$art/prefix

/usr/bin/python3 "$root/tests/e2e/fwapp_check.py" "$art" "$app" || fails=$((fails + 1))
echo "artifacts: $art"
[ "$fails" -eq 0 ]
