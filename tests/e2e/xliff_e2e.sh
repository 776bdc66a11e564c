#!/usr/bin/env bash
# XLIFF through this build's Windows vtploc under Wine: the sample application's translations
# exported (the same bytes as the host build writes, kept in fixtures/sampleapp/sampleapp.de.xlf),
# valid against OASIS' XLIFF 1.2 strict schema, imported back byte for byte, the controls'
# classes read from the program, a malformed file refused with its line and nothing written.
# Artifacts stay in BUILD_DIR/e2e-xliff.
#   xliff_e2e.sh ARCH BUILD_DIR
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac
art=$build/e2e-xliff
rm -rf "$art"
mkdir -p "$art"
sample=$root/fixtures/sampleapp
cp "$sample"/sampleapp.ntv.lng "$sample"/sampleapp.de.lng "$sample"/sampleapp.fr.lng "$art/"
winpath() { printf 'Z:%s' "$1" | sed 's|/|\\|g'; }
vtploc() { "$root/cmake/wine-run" "$arch" "$(winpath "$build/tools/vtploc/vtploc.exe")" "$@"; }
at() { winpath "$art/$1"; }

fails=0
step() { # step DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then echo "ok   $what"; else fails=$((fails + 1)); echo "FAIL $what"; fi
}
schema=/usr/share/php/Symfony/Component/Translation/Resources/schemas
cat >"$art/catalog.xml" <<CAT
<?xml version="1.0"?>
<catalog xmlns="urn:oasis:names:tc:entity:xmlns:xml:catalog">
  <uri name="http://www.w3.org/2001/xml.xsd" uri="file://$schema/xml.xsd"/>
</catalog>
CAT
valid() { XML_CATALOG_FILES=$art/catalog.xml xmllint --nonet --noout --schema "$schema/xliff-core-1.2-strict.xsd" "$1"; }

import() {
  vtploc lng import --xliff "$(at sampleapp.$1.xlf)" --native "$(at sampleapp.ntv.lng)" -o "$(at back.$1.lng)" \
    >"$art/import.$1.out"
}
for lang in de fr; do
  step "export --xliff $lang" vtploc lng export --xliff "$(at sampleapp.$lang.lng)" --native "$(at sampleapp.ntv.lng)" \
    -o "$(at sampleapp.$lang.xlf)"
  step "$lang: valid against the XLIFF 1.2 strict schema" valid "$art/sampleapp.$lang.xlf"
  step "import --xliff $lang" import "$lang"
  step "$lang: the language file back byte for byte" cmp "$art/back.$lang.lng" "$sample/sampleapp.$lang.lng"
done
step "de: the bytes the host build writes" cmp "$art/sampleapp.de.xlf" "$sample/sampleapp.de.xlf"
step "import prints its counts" grep -qE '^[0-9]+ units, [0-9]+ translated \([0-9]+ not confirmed\), 0 obsolete' \
  "$art/import.de.out"

# The controls' classes from the program's forms.
app=$build/fixtures/sampleapp/sampleapp.exe
step "export --xliff --app" vtploc lng export --xliff "$(at sampleapp.ntv.lng)" --app "$(winpath "$app")" \
  -o "$(at sampleapp.xlf)"
step "restype from the program's classes" grep -q 'resname="MainForm.OpenButton.Caption" restype="button"' \
  "$art/sampleapp.xlf"
step "template: valid against the schema" valid "$art/sampleapp.xlf"

# A malformed file: one line naming the file and line, exit 1, nothing written.
sed 's|</source>|</sourc>|' "$art/sampleapp.de.xlf" >"$art/bad.xlf"
vtploc lng import --xliff "$(at bad.xlf)" --native "$(at sampleapp.ntv.lng)" -o "$(at bad.lng)" \
  >"$art/bad.out" 2>"$art/bad.err"
rc=$?
step "malformed: exit status 1" test "$rc" -eq 1
step "malformed: FILE:LINE: in one line" grep -qE 'bad\.xlf:[0-9]+: not well-formed XML' "$art/bad.err"
step "malformed: nothing written" test ! -e "$art/bad.lng"

echo "artifacts: $art"
[ "$fails" -eq 0 ]
