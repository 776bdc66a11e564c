#!/usr/bin/env bash
# End-to-end test of a program in the manner of the 8-bit era's compilers of the late 1990s
# (fixtures/fwapp8: Polish form texts as 8-bit strings in code page 1250, no wide or UTF-8 value,
# no settings records): its dictionary extracted, translated into Russian and Czech, built into
# fwapp8.RUS and fwapp8.CSY beside it by this build's vtploc under Wine, verified, and read back by
# fwloader with that generation's form reader (--ansi-reader) on a system whose ANSI code page is
# 1251 (Russian) and on one whose code page is 1250 (Czech), each finding its module by the user's
# locale abbreviation. A translation that code page 1251 cannot hold is refused, nothing written.
# Artifacts stay in BUILD_DIR/e2e-fwapp8.
#   fwapp8_e2e.sh ARCH BUILD_DIR
source "$(dirname "$0")/e2e_common.sh"
art=$build/e2e-fwapp8
rm -rf "$art"
mkdir -p "$art/app" "$art/refused" "$art/locales"
app=$art/app
cp "$build/fixtures/bin/fwapp8.exe" "$build/fixtures/bin/fwloader.exe" "$build/fixtures/bin/fwapp.exe" "$app/"
export WINEPREFIX=$art/prefix
cleanup() {
  for p in prefix prefix1251 prefix1250; do WINEPREFIX=$art/$p /usr/lib/wine/wineserver -k 2>/dev/null; done
}
trap cleanup EXIT
py() { /usr/bin/python3 "$root/tests/e2e/fwapp8_check.py" "$@"; }

step "lng extract (Polish)" vtploc lng extract --app "$(winpath "$app/fwapp8.exe")" --lang PLK -o "$(winpath "$app/fwapp8.ntv.lng")"
# Each translation: a language file of that language from the dictionary (lng pseudo), its texts
# replaced by the translator's (lng dump, then lng build).
translate() { # translate CODE LANGUAGE OUT.lng [--leave-polish]
  local code=$1 lang=$2 out=$3; shift 3
  vtploc lng pseudo --lang "$code" "$(winpath "$app/fwapp8.ntv.lng")" -o "$(winpath "$art/$code.pseudo.lng")" &&
    vtploc lng dump "$(winpath "$art/$code.pseudo.lng")" -o "$(winpath "$art/$code.pseudo.json")" &&
    py translate "$lang" "$art/$code.pseudo.json" "$art/$code.json" "$@" &&
    vtploc lng build "$(winpath "$art/$code.json")" -o "$(winpath "$out")"
}
step "Russian translation" translate RUS ru "$app/fwapp8.ru.lng"
step "Czech translation" translate CSY cs "$app/fwapp8.cs.lng"
for code in RUS:ru CSY:cs; do
  step "module build fwapp8.${code%%:*}" vtploc module build --app "$(winpath "$app/fwapp8.exe")" \
    --lang "$(winpath "$app/fwapp8.${code##*:}.lng")" --native "$(winpath "$app/fwapp8.ntv.lng")" --out-dir "$(winpath "$app")"
  vtploc module verify --app "$(winpath "$app/fwapp8.exe")" "$(winpath "$app/fwapp8.${code%%:*}")" >"$art/verify-${code%%:*}.txt" 2>&1
  step "module verify fwapp8.${code%%:*}" test $? -eq 0
done
grep -q "^form reader: 8-bit era (no mark of the Unicode era): 8-bit strings only" "$art/verify-RUS.txt" ||
  fail "verify does not name the program's form reader (see $art/verify-RUS.txt)"

# Polish letters left in the Russian translation: code page 1251 cannot hold them.
step "Russian translation with Polish letters left" translate RUS ru "$art/refused/fwapp8.ru.lng" --leave-polish
vtploc module build --app "$(winpath "$app/fwapp8.exe")" --lang "$(winpath "$art/refused/fwapp8.ru.lng")" \
  --native "$(winpath "$app/fwapp8.ntv.lng")" --out-dir "$(winpath "$art/refused")" >"$art/refused.out" 2>"$art/refused.err"
status=$?
[ "$status" -eq 1 ] || fail "module build of a translation code page 1251 cannot hold: exit $status, not 1"
grep -q "MainForm.StatusLabel.Caption: cannot be written in code page 1251 for this program's form reader" "$art/refused.err" ||
  fail "the refusal does not name MainForm.StatusLabel.Caption (see $art/refused.err)"
[ ! -e "$art/refused/fwapp8.RUS" ] || fail "a refused module was written"

load() { # load OUT ARGS...
  local out=$1; shift
  w "$(winpath "$app/fwloader.exe")" "$@" >"$art/$out.txt" 2>"$art/$out.err"
}
# That generation's reader refuses the wide and UTF-8 values of a Unicode-era program's forms.
load unicode-app --ansi-reader "$(winpath "$app/fwapp.exe")" NONE
status=$?
[ "$status" -eq 1 ] && grep -q "Invalid property value" "$art/unicode-app.err" ||
  fail "the 8-bit reader took the wide values of fwapp.exe (exit $status, see $art/unicode-app.err)"

# On systems of code pages 1251 and 1250 (locales built here, since the machine may not carry
# them): the program's own texts, and the module found by the user's locale abbreviation.
system() { # system LOCALE PREFIX SUFFIX
  if ! localedef -i "$1" -f UTF-8 "$art/locales/$1.UTF-8" >>"$art/localedef.log" 2>&1 && [ ! -d "$art/locales/$1.UTF-8" ]; then
    fail "localedef could not build $1.UTF-8 (see $art/localedef.log)"
    return
  fi
  wenv=("LOCPATH=$art/locales" "LC_ALL=$1.UTF-8" "LANG=$1.UTF-8" "WINEPREFIX=$art/$2")
  step "reads the program on $3" load "native$3" --ansi-reader "$(winpath "$app/fwapp8.exe")" NONE
  step "reads the module of the user's language on $3" load "module$3" --ansi-reader "$(winpath "$app/fwapp8.exe")"
  wenv=()
}
system ru_RU prefix1251 1251
system cs_CZ prefix1250 1250

py check "$art" "$app" || fails=$((fails + 1))
echo "artifacts: $art"
[ "$fails" -eq 0 ]
