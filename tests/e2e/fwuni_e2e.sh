#!/usr/bin/env bash
# End-to-end test of a Unicode-era program whose forms, classes and components are named in
# Chinese and Cyrillic letters (fixtures/fwuni): its forms through the text form and back, its
# dictionary extracted, pseudo-translated and built into APP.QPS by this build's vtploc under
# Wine, then read back by fwloader the way that framework's run-time library reads it, on a
# system whose ANSI code page is 1252 and on one whose code page is 1251.
# Artifacts stay in BUILD_DIR/e2e-fwuni.
#   fwuni_e2e.sh ARCH BUILD_DIR
source "$(dirname "$0")/e2e_common.sh"
art=$build/e2e-fwuni
rm -rf "$art"
mkdir -p "$art/app" "$art/forms"
app=$art/app
cp "$build/fixtures/bin/fwuni.exe" "$build/fixtures/bin/fwloader.exe" "$app/"
export WINEPREFIX=$art/prefix
cleanup() { WINEPREFIX=$art/prefix /usr/lib/wine/wineserver -k 2>/dev/null; WINEPREFIX=$art/prefix1251 /usr/lib/wine/wineserver -k 2>/dev/null; }
trap cleanup EXIT

# Each form of the program through the text form and back (files named by their position: the
# names of the forms are not in the system's code page).
/usr/bin/python3 - "$app/fwuni.exe" "$art/forms" <<'PY' || fails=$((fails + 1))
import os, sys
import pefile
pe = pefile.PE(sys.argv[1])
n = 0
with open(os.path.join(sys.argv[2], "names.txt"), "w", encoding="utf-8") as names:
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id != 10:
            continue
        for e in t.directory.entries:
            d = e.directory.entries[0].data.struct
            data = pe.get_data(d.OffsetToData, d.Size)
            if data[:4] == b"TPF0":
                with open(os.path.join(sys.argv[2], "form%d.bin" % n), "wb") as f:
                    f.write(data)
                names.write("form%d %s\n" % (n, e.name))
                n += 1
print("ok   %d forms taken from the program" % n)
sys.exit(0 if n == 4 else 1)
PY
for f in "$art"/forms/form*.bin; do
  b=${f%.bin}
  step "$(basename "$b") to text" vtploc form totext "$(winpath "$f")" "$(winpath "$b.txt")"
  step "$(basename "$b") text to binary" vtploc form tobinary "$(winpath "$b.txt")" "$(winpath "$b.back")"
  step "$(basename "$b") binary to text again" vtploc form totext "$(winpath "$b.back")" "$(winpath "$b.again.txt")"
done

step "lng extract" vtploc lng extract --app "$(winpath "$app/fwuni.exe")" --lang ENU -o "$(winpath "$app/fwuni.ntv.lng")"
step "lng pseudo" vtploc lng pseudo "$(winpath "$app/fwuni.ntv.lng")" -o "$(winpath "$app/fwuni.qps.lng")"
step "module build --out-dir" vtploc module build --app "$(winpath "$app/fwuni.exe")" --lang "$(winpath "$app/fwuni.qps.lng")" \
  --native "$(winpath "$app/fwuni.ntv.lng")" --out-dir "$(winpath "$app")"
vtploc module verify --app "$(winpath "$app/fwuni.exe")" "$(winpath "$app/fwuni.QPS")" >"$art/verify.txt" 2>&1
step "module verify" test $? -eq 0
step "lng dump" vtploc lng dump "$(winpath "$app/fwuni.ntv.lng")" -o "$(winpath "$art/fwuni.ntv.json")"

load() { # load OUT ARGS...
  local out=$1; shift
  w "$(winpath "$app/fwloader.exe")" "$(winpath "$app/fwuni.exe")" "$@" >"$art/$out.txt" 2>"$art/$out.err"
}
step "reads the program's own texts" load native NONE
step "reads the module" load qps QPS

mkdir -p "$art/locales"
if localedef -i ru_RU -f UTF-8 "$art/locales/ru_RU.UTF-8" >"$art/localedef.log" 2>&1 || [ -d "$art/locales/ru_RU.UTF-8" ]; then
  wenv=("LOCPATH=$art/locales" LC_ALL=ru_RU.UTF-8 LANG=ru_RU.UTF-8 "WINEPREFIX=$art/prefix1251")
  step "reads the module on code page 1251" load qps1251 QPS
  step "reads the program on code page 1251" load native1251 NONE
  wenv=()
else
  fail "localedef could not build ru_RU.UTF-8 (see $art/localedef.log)"
fi

/usr/bin/python3 "$root/tests/e2e/fwuni_check.py" "$art" "$app" || fails=$((fails + 1))
echo "artifacts: $art"
[ "$fails" -eq 0 ]
