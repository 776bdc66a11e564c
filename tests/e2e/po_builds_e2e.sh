#!/usr/bin/env bash
# The two builds of vtploc read and write PO files alike: the host's vtploc and this build's
# vtploc.exe under Wine are given the same inputs (the sample application's dictionary and
# translations, a pseudo-translation, PO files as other tools and teams send them: other
# charsets, CR LF lines, a double-byte charset with 0x5C trail bytes, long lines that wrap, bad
# input, PO files rewritten by gettext's own tools), and must give the same exit status, the same messages (CR LF read as LF) and the same
# PO and language-file bytes. Artifacts stay in BUILD_DIR/e2e-po-builds (h/: host, w/: Windows).
#   po_builds_e2e.sh ARCH BUILD_DIR HOST_BUILD_DIR
set -uo pipefail
arch=$1
build=$(cd "$2" && pwd)
hostvtploc=$(cd "$3" 2>/dev/null && pwd)/tools/vtploc/vtploc
root=$(cd "$(dirname "$0")/../.." && pwd)
case "$arch" in
  win32) /usr/lib/wine/wine --version >/dev/null 2>&1 || { echo "wine32 cannot run here: skipped"; exit 77; } ;;
esac
if [ ! -x "$hostvtploc" ]; then
  echo "FAIL no host vtploc at $hostvtploc: build the host preset first (./run build host)"
  exit 1
fi
art=$build/e2e-po-builds
rm -rf "$art"
mkdir -p "$art/in" "$art/h" "$art/w"
cd "$art"
export WINEPREFIX=$art/prefix
trap '/usr/lib/wine/wineserver -k 2>/dev/null' EXIT

fails=0 cases=0
# same NAME ARGS...: both tools with ARGS, where @OUT@ stands for h/NAME or w/NAME.
same() {
  local name=$1; shift
  local hargs=() wargs=() a
  for a in "$@"; do hargs+=("${a//@OUT@/h/$name}"); wargs+=("${a//@OUT@/w/$name}"); done
  "$hostvtploc" "${hargs[@]}" >"h/$name.out" 2>"h/$name.err"
  local hs=$?
  "$root/cmake/wine-run" "$arch" "$build/tools/vtploc/vtploc.exe" "${wargs[@]}" >"w/$name.out" 2>"w/$name.err"
  local ws=$?
  sed -i 's/\r$//' "w/$name.out" "w/$name.err"
  local why=""
  [ "$hs" = "$ws" ] || why+=" exit status $hs / $ws;"
  cmp -s "h/$name.out" "w/$name.out" || why+=" standard output differs;"
  cmp -s "h/$name.err" "w/$name.err" || why+=" messages differ;"
  if [ -e "h/$name" ] || [ -e "w/$name" ]; then
    cmp -s "h/$name" "w/$name" 2>/dev/null || why+=" output file differs;"
  fi
  cases=$((cases + 1))
  if [ -z "$why" ]; then
    echo "ok   $name (exit $hs$([ -e "h/$name" ] && echo ", $(wc -c <"h/$name") bytes"))"
  else
    fails=$((fails + 1))
    echo "FAIL $name:$why"
    diff <(cat "h/$name.err" "h/$name.out") <(cat "w/$name.err" "w/$name.out") | head -n 10
    [ -e "h/$name" ] && [ -e "w/$name" ] && diff "h/$name" "w/$name" | head -n 20
  fi
}

fx=$root/fixtures/sampleapp
cp "$fx/sampleapp.ntv.lng" in/app.ntv.lng
cp "$fx/sampleapp.de.lng" in/app.de.lng
cp "$fx/sampleapp.fr.lng" in/app.fr.lng
"$hostvtploc" lng pseudo in/app.ntv.lng -o in/app.qps.lng >/dev/null || { echo "FAIL host lng pseudo"; exit 1; }

# The loop: template, translations, pseudo; each PO back into a language file.
same app.pot lng export --po in/app.ntv.lng -o @OUT@
for l in de fr qps; do
  same "app.$l.po" lng export --po "in/app.$l.lng" --native in/app.ntv.lng -o @OUT@
  same "app.$l.lng" lng import --po "h/app.$l.po" --native in/app.ntv.lng -o @OUT@
done

# PO files from elsewhere, made from the template: msgstr filled for the first entries, in
# various charsets and line ends.
python3 - "$art" <<'PY'
import re, sys
art = sys.argv[1]
pot = open(art + "/h/app.pot", encoding="utf-8").read()
head, *entries = pot.split("\n\n")
entries = [e for e in entries if "msgctxt" in e and '\nmsgid "' in e and "msgid \"\"\n" not in e]

def po(charset, texts, lang="ru", eol="\n", extra=""):
    h = head.replace("charset=UTF-8", "charset=" + charset).replace('"Language: \\n"', '"Language: %s\\n"' % lang)
    out = [h]
    for e, t in zip(entries, texts):
        out.append(re.sub(r'msgstr ""\n?$', 'msgstr "%s"' % t, e.rstrip("\n")))
    return (("\n\n".join(out) + "\n" + extra).replace("\n", eol))

def write(name, text, codec):
    open(art + "/in/" + name, "wb").write(text.encode(codec) if isinstance(text, str) else text)

long_ru = "Очень длинный текст перевода, который не помещается в одну строку файла и переносится " * 2
write("latin1.po", po("ISO-8859-1", ["Été à côté", "Ça va très bien"], "fr"), "latin-1")
write("cp1251.po", po("CP1251", [long_ru, "Привет"]), "cp1251")
write("crlf.po", po("UTF-8", ["Zeile eins", "Straße"], "de", eol="\r\n"), "utf-8")
# Shift-JIS trail bytes that are a backslash: 表 is 0x95 0x5C, ソ is 0x83 0x5C.
write("cp932.po", po("CP932", ["表示", "ソフト" * 30], "ja"), "cp932")
bad = po("UTF-8", ["gut", "auch gut"], "de").encode("utf-8").replace("auch gut".encode(), b"auch \xff gut")
write("badutf8.po", bad, None)
ctrlz = po("UTF-8", ["vor\x1anach", "weiter"], "de").encode("utf-8")
write("ctrlz.po", ctrlz, None)
write("syntax.po", po("UTF-8", ["eins"], "de") + 'msgid "x"\nmsgstr "y"\nmsgid\n', "utf-8")
write("nocharset.po", po("NO-SUCH-CHARSET", ["eins"], "de"), "utf-8")
PY
for p in latin1 cp1251 crlf cp932 badutf8 ctrlz syntax nocharset; do
  same "$p.lng" lng import --po "in/$p.po" --native in/app.ntv.lng -o @OUT@
done
# What gettext's own tools make of our PO files: rewrapped and sorted, confirmed, marked fuzzy,
# converted to Latin-1, merged with the template.
msgcat --sort-output --width=20 -o in/tools-wrapped.po h/app.de.po &&
  msgattrib --clear-fuzzy -o in/tools-confirmed.po h/app.fr.po &&
  msgattrib --set-fuzzy -o in/tools-fuzzy.po h/app.de.po &&
  msgconv --to-code=ISO-8859-1 -o in/tools-latin1.po h/app.fr.po &&
  msgmerge --quiet -o in/tools-merged.po h/app.de.po h/app.pot ||
  { echo "FAIL gettext's tools (package gettext) could not make the inputs"; exit 1; }
for p in tools-wrapped tools-confirmed tools-fuzzy tools-latin1 tools-merged; do
  same "$p.lng" lng import --po "in/$p.po" --native in/app.ntv.lng -o @OUT@
done

# What came in goes out again (long lines of multibyte text wrap alike).
for p in latin1 cp1251 crlf cp932; do
  [ -f "h/$p.lng" ] && same "$p.po" lng export --po "h/$p.lng" --native in/app.ntv.lng -o @OUT@
done

echo "$((cases - fails)) passed, $fails failed"
[ "$fails" -eq 0 ]
