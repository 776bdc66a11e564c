#!/usr/bin/env bash
# The translation check against the windows' own truth: the sample application, switched live
# to pseudo translations lengthened by 35, 60, 100, 150, 250 and 400 %, measures every text its windows
# show in the window's own font against the window's room (sampleapp --probe); the check's fit
# findings for the same translations, from the host vtploc (FreeType, the fonts Wine draws
# with) and from vtploc.exe (GDI under Wine), are compared with them (precision and recall of
# "overflow"), and every width FreeType gives is compared with the width Wine measured.
# Artifacts stay in BUILD_DIR/e2e-fit; the figures are in fit-figures.txt there.
#   fit_e2e.sh ARCH BUILD_DIR HOST_VTPLOC
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
host_vtploc=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac
[ -x "$host_vtploc" ] || { echo "no host vtploc at $host_vtploc (build the host preset): skipped"; exit 77; }
art=$build/e2e-fit
rm -rf "$art"
mkdir -p "$art"
export WINEPREFIX=$art/prefix
xout=$("$root/cmake/xdisplay" 1024x768) || exit 1
read -r DISPLAY xvfb_pid <<<"$xout"
export DISPLAY
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null
  [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
w() { "$root/cmake/wine-run" "$arch" "$@"; }
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
# Wine draws with the fonts a Windows system has: its own (fonts-wine: Tahoma, MS Sans Serif, ...)
# in the prefix's font folder, and the metric-compatible families under the Windows names.
w wineboot.exe -u >/dev/null 2>&1
cp /usr/share/wine/fonts/{tahoma,tahomabd}.ttf /usr/share/wine/fonts/{sserife,smalle,coure}.fon \
  "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null
cat >"$art/replacements.reg" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"Arial"="Liberation Sans"
"Times New Roman"="Liberation Serif"
"Courier New"="Liberation Mono"
REG
w regedit.exe /S "$(winpath "$art/replacements.reg")" >/dev/null 2>&1
/usr/lib/wine/wineserver -w
src=$root/fixtures/sampleapp
ntv=$src/sampleapp.ntv.lng
fails=0
for pct in 35 60 100 150 250 400; do
  app=$art/app$pct
  mkdir -p "$app/modules"
  cp "$build/fixtures/sampleapp/sampleapp.exe" "$app/"
  cp "$ntv" "$app/sampleapp.ntv.lng"
  "$host_vtploc" lng pseudo "$ntv" --expand "$pct" -o "$app/sampleapp.QPS.lng" || fails=$((fails + 1))
  w "$(winpath "$app/sampleapp.exe")" --probe "$(winpath "$app")" "$(winpath "$app/modules")" QPS \
    >"$art/probe$pct.jsonl" 2>"$art/probe$pct.err" || { echo "FAIL probe $pct"; fails=$((fails + 1)); }
  "$host_vtploc" lng check --app "$app/sampleapp.exe" --lang "$app/sampleapp.QPS.lng" --native "$ntv" --json \
    --fail-on never --html "$art/report$pct.html" >"$art/check$pct.jsonl" 2>"$art/check$pct.err" ||
    { echo "FAIL host check $pct"; fails=$((fails + 1)); }
  w "$(winpath "$build/tools/vtploc/vtploc.exe")" lng check --app "$(winpath "$app/sampleapp.exe")" \
    --lang "$(winpath "$app/sampleapp.QPS.lng")" --native "$(winpath "$ntv")" --json --fail-on never \
    >"$art/checkwin$pct.jsonl" 2>"$art/checkwin$pct.err" || { echo "FAIL windows check $pct"; fails=$((fails + 1)); }
done
/usr/bin/python3 "$root/tests/e2e/fit_check.py" "$art" "$host_vtploc" 35 60 100 150 250 400 || fails=$((fails + 1))
echo "$fails failed"
[ "$fails" -eq 0 ]
