#!/usr/bin/env bash
# XLIFF through this build's Windows vtploc under Wine: the sample application's translations
# exported with the built program (the same bytes as the host build writes, kept in
# fixtures/sampleapp/sampleapp.de.xlf: the controls' classes and size limits come from the forms,
# not from how GDI measures), valid against OASIS' XLIFF 1.2 strict schema, imported back byte
# for byte; each maxwidth is the room this vtploc's lng check reports for the same item; a
# malformed file refused with its line and nothing written.
# Artifacts stay in BUILD_DIR/e2e-xliff.
#   xliff_e2e.sh ARCH BUILD_DIR
source "$(dirname "$0")/e2e_common.sh"
art=$build/e2e-xliff
rm -rf "$art"
mkdir -p "$art"
sample=$root/fixtures/sampleapp
cp "$sample"/sampleapp.ntv.lng "$sample"/sampleapp.de.lng "$sample"/sampleapp.fr.lng "$art/"
at() { winpath "$art/$1"; }

schema=/usr/share/php/Symfony/Component/Translation/Resources/schemas
cat >"$art/catalog.xml" <<CAT
<?xml version="1.0"?>
<catalog xmlns="urn:oasis:names:tc:entity:xmlns:xml:catalog">
  <uri name="http://www.w3.org/2001/xml.xsd" uri="file://$schema/xml.xsd"/>
</catalog>
CAT
valid() { XML_CATALOG_FILES=$art/catalog.xml xmllint --nonet --noout --schema "$schema/xliff-core-1.2-strict.xsd" "$1"; }

app=$build/fixtures/sampleapp/sampleapp.exe
import() {
  vtploc lng import --xliff "$(at sampleapp.$1.xlf)" --native "$(at sampleapp.ntv.lng)" -o "$(at back.$1.lng)" \
    >"$art/import.$1.out"
}
for lang in de fr; do
  step "export --xliff $lang --app" vtploc lng export --xliff "$(at sampleapp.$lang.lng)" \
    --native "$(at sampleapp.ntv.lng)" --app "$(winpath "$app")" -o "$(at sampleapp.$lang.xlf)"
  step "$lang: valid against the XLIFF 1.2 strict schema" valid "$art/sampleapp.$lang.xlf"
  step "import --xliff $lang" import "$lang"
  step "$lang: the language file back byte for byte" cmp "$art/back.$lang.lng" "$sample/sampleapp.$lang.lng"
done
step "de: the bytes the host build writes" cmp "$art/sampleapp.de.xlf" "$sample/sampleapp.de.xlf"
step "import prints its counts" grep -qE '^[0-9]+ units, [0-9]+ translated \([0-9]+ not confirmed\), 0 obsolete' \
  "$art/import.de.out"

# The template with the controls' classes and rooms from the program's forms.
step "export --xliff --app" vtploc lng export --xliff "$(at sampleapp.ntv.lng)" --app "$(winpath "$app")" \
  -o "$(at sampleapp.xlf)"
step "restype and maxwidth from the program's forms" grep -q \
  'resname="MainForm.OpenButton.Caption" restype="button" maxwidth="90" size-unit="pixel" font="MS Sans Serif;8"' \
  "$art/sampleapp.xlf"
step "template: valid against the schema" valid "$art/sampleapp.xlf"

# Each maxwidth is the room lng check (GDI here) reports for the item when its text is far too long.
/usr/bin/python3 - "$sample/sampleapp.de.json" "$art/long.json" <<'PY'
import json, sys
def lengthen(node):
    if isinstance(node, dict):
        if isinstance(node.get("text"), str) and node.get("kind", "string") == "string":
            node["text"] = "W" * 60
        for v in node.values():
            lengthen(v)
    elif isinstance(node, list):
        for v in node:
            lengthen(v)
d = json.load(open(sys.argv[1], encoding="utf-8"))
lengthen(d)
json.dump(d, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False, indent=1)
PY
step "a too long translation" vtploc lng build "$(at long.json)" -o "$(at long.lng)"
# The findings alone in the file, not the step's own line.
check_long() {
  vtploc lng check --app "$(winpath "$app")" --lang "$(at long.lng)" --native "$(at sampleapp.ntv.lng)" \
    --json --fail-on never >"$art/long.jsonl" 2>"$art/long.err"
}
step "check --json of a too long translation" check_long
step "export --xliff --app of the same" vtploc lng export --xliff "$(at long.lng)" --native "$(at sampleapp.ntv.lng)" \
  --app "$(winpath "$app")" -o "$(at long.xlf)"
same_rooms() {
  /usr/bin/python3 - "$art/long.jsonl" "$art/long.xlf" <<'PY'
import json, re, sys
area = {}
for line in open(sys.argv[1], encoding="utf-8"):
    f = json.loads(line)
    if f["check"] == "fit":
        area[f["item"]] = f["area_px"]
text = open(sys.argv[2], encoding="utf-8").read()
rooms = dict(re.findall(r'<trans-unit [^>]*resname="([^"]*)"[^>]* maxwidth="([0-9]+)" size-unit="pixel"', text))
bad = [(k, v, area.get(k)) for k, v in rooms.items() if area.get(k) != int(v)]
print(f"{len(rooms)} units with maxwidth, {len(bad)} not the check's room: {bad}")
sys.exit(0 if len(rooms) >= 10 and not bad else 1)
PY
}
step "maxwidth is the check's area_px" same_rooms

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
