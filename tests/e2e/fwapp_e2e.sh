#!/usr/bin/env bash
# End-to-end test of a program built with the framework's own tools (fixtures/fwapp: no settings
# records): its dictionary extracted, pseudo-translated and built into APP.QPS beside it by this
# build's vtploc under Wine, then read back by fwloader the way that framework's run-time library
# reads it, on a system whose ANSI code page is 1252 and on one whose code page is 1251; in the
# win64 build a 64-bit fwloader reading the module of a 64-bit program.
# Artifacts stay in BUILD_DIR/e2e-fwapp.
#   fwapp_e2e.sh ARCH BUILD_DIR
source "$(dirname "$0")/e2e_common.sh"
art=$build/e2e-fwapp
rm -rf "$art"
mkdir -p "$art/app"
app=$art/app
cp "$build/fixtures/bin/fwapp.exe" "$build/fixtures/bin/fwloader.exe" "$app/"
export WINEPREFIX=$art/prefix
cleanup() { WINEPREFIX=$art/prefix /usr/lib/wine/wineserver -k 2>/dev/null; WINEPREFIX=$art/prefix1251 /usr/lib/wine/wineserver -k 2>/dev/null; }
trap cleanup EXIT
step "lng extract" vtploc lng extract --app "$(winpath "$app/fwapp.exe")" --lang ENU -o "$(winpath "$app/fwapp.ntv.lng")"
step "lng pseudo" vtploc lng pseudo "$(winpath "$app/fwapp.ntv.lng")" -o "$(winpath "$app/fwapp.qps.lng")"
step "module build --out-dir" vtploc module build --app "$(winpath "$app/fwapp.exe")" --lang "$(winpath "$app/fwapp.qps.lng")" \
  --native "$(winpath "$app/fwapp.ntv.lng")" --out-dir "$(winpath "$app")"
step "module verify" vtploc module verify --app "$(winpath "$app/fwapp.exe")" "$(winpath "$app/fwapp.QPS")"
# The program's generation, told from the program: a 64-bit one is of the Unicode era (that
# era's compilers brought 64-bit), a 32-bit one by its PLATFORMTARGETS. In the win64 build a 64-bit
# fwloader reads the module of a 64-bit program.
vtploc module verify --app "$(winpath "$app/fwapp.exe")" "$(winpath "$app/fwapp.QPS")" >"$art/verify.txt" 2>&1
case "$arch" in
  win64) reader="Unicode era (a 64-bit program)"; machine=0x8664 ;;
  *) reader="Unicode era (it carries PLATFORMTARGETS)"; machine=0x14c ;;
esac
grep -q "^form reader: $reader" "$art/verify.txt" || fail "verify does not say \"$reader\" (see $art/verify.txt)"
for exe in fwapp.exe fwloader.exe; do
  m=$(/usr/bin/python3 -c 'import sys, pefile; print(hex(pefile.PE(sys.argv[1], fast_load=True).FILE_HEADER.Machine))' "$app/$exe")
  if [ "$m" = "$machine" ]; then echo "ok   $exe is built for machine $m"; else fail "$exe is built for machine $m, not $machine"; fi
done
step "lng dump" vtploc lng dump "$(winpath "$app/fwapp.ntv.lng")" -o "$(winpath "$art/fwapp.ntv.json")"

# The program's own texts (no module of that name), the module's by its abbreviation, and by the
# user's locale abbreviation as the run-time library finds it.
load() { # load OUT ARGS...
  local out=$1; shift
  w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwapp.exe")" "$@" >"$art/$out.txt" 2>"$art/$out.err"
}
step "reads the program's own texts" load native NONE
step "reads the module by its abbreviation" load qps QPS
user=$(w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwapp.exe")" 2>&1 >/dev/null | sed -n 's/.*fwapp\.\([A-Za-z-]*\): not found.*/\1/p')
by_locale() { # by_locale ABBREV OUT
  cp "$app/fwapp.QPS" "$app/fwapp.$1"
  step "finds fwapp.$1 by the user's locale" load "$2"
  grep -q "fwapp\.$1: loaded" "$art/$2.err" || { fails=$((fails + 1)); echo "FAIL fwapp.$1 was not loaded"; }
  rm -f "$app/fwapp.$1"
}
if [ -n "$user" ]; then by_locale "$user" user; else fails=$((fails + 1)); echo "FAIL no locale abbreviation from fwloader"; fi

# The same module on a system whose ANSI code page is 1251: Wine takes it from the Russian
# locale, built here since the machine may not carry it.
mkdir -p "$art/locales"
if localedef -i ru_RU -f UTF-8 "$art/locales/ru_RU.UTF-8" >"$art/localedef.log" 2>&1 || [ -d "$art/locales/ru_RU.UTF-8" ]; then
  wenv=("LOCPATH=$art/locales" LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 "WINEPREFIX=$art/prefix1251")
  step "reads the module on code page 1251" load qps1251 QPS
  step "reads the program on code page 1251" load native1251 NONE
  user=$(w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwapp.exe")" 2>&1 >/dev/null | sed -n 's/.*fwapp\.\([A-Za-z-]*\): not found.*/\1/p')
  if [ -n "$user" ]; then by_locale "$user" user1251; else fails=$((fails + 1)); echo "FAIL no locale abbreviation on 1251"; fi
  wenv=()
else
  fails=$((fails + 1)); echo "FAIL localedef could not build ru_RU.UTF-8 (see $art/localedef.log)"
fi

/usr/bin/python3 "$root/tests/e2e/fwapp_check.py" "$art" "$app" || fails=$((fails + 1))
echo "artifacts: $art"
[ "$fails" -eq 0 ]
