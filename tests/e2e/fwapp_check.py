#!/usr/bin/python3
"""Checks what fwloader read from fwapp and from its pseudo-translated module (fwapp_e2e.sh).

    fwapp_check.py ARTIFACTS APP_DIR

Every text of the dictionary is changed in the module and carries every non-ASCII letter of
the native text; texts without letters are unchanged; no '?' that the native text lacks; the
module reads the same on code pages 1252 and 1251; every resource of the program that is not a
form or a string table is in the module byte for byte, RCDATA with numeric ids under their ids;
every language of a string block is in the module with its own strings.
"""
import json
import os
import sys

import e2e_check
from e2e_check import check, has_letter, resources

art, app = sys.argv[1], sys.argv[2]


def read(name):
    return e2e_check.loader_texts(art, name)


native, qps = read("native"), read("qps")
check(len(native) > 20, "the loader read %d texts of the program" % len(native))
check(set(native) == set(qps), "the module has the program's texts, no more, no less")
for k in sorted(set(native) ^ set(qps)):
    print("     only in one: %s" % k)

# The dictionary's texts: what lng extract took as translatable.
dictionary = set()
singles = []


def walk(node):
    if isinstance(node, dict):
        if "text" in node and node.get("kind", "string") == "string":
            singles.append(node["text"])
            dictionary.add(node["text"])
        elif "text" in node and node.get("kind") == "stringList":
            # A list is one record; its items without letters stay as they are.
            dictionary.update(t for t in node["text"].split("\r\n") if has_letter(t))
        for v in node.values():
            walk(v)
    elif isinstance(node, list):
        for v in node:
            walk(v)


with open(os.path.join(art, "fwapp.ntv.json"), encoding="utf-8") as f:
    walk(json.load(f))
check(singles and all(has_letter(t) for t in singles), "no text without letters in the dictionary")

changed = unchanged_ok = 0
for key, old in native.items():
    new = qps.get(key)
    if new is None:
        continue
    if old in dictionary:
        changed += 1
        check(new != old and new.startswith("[") and new.endswith("]"), "%s is the pseudo text: %r" % (key, new))
        lost = [c for c in old if ord(c) > 127 and has_letter(c) and c not in new]
        check(not lost, "%s keeps %s" % (key, "".join(c for c in old if ord(c) > 127) or "its letters"))
    elif not has_letter(old):
        unchanged_ok += 1
        check(new == old, "%s without letters unchanged: %r" % (key, new))
    check(new.count("?") <= old.count("?"), "%s: no '?' the native text lacks" % key)
print("     %d texts translated, %d without letters kept" % (changed, unchanged_ok))
for want in ("1", "0.00", "12:00", "..."):
    check(want in native.values() and want in qps.values(), "%r is read unchanged" % want)
natives = "".join(native.values())
for word in ("Счёт", "打开", "文件", "Škoda", "ÜAVX512ß", "Ошибка"):
    check(word in natives, "the program's own %s" % word)
    check(all(c in "".join(qps.values()) for c in word if ord(c) > 127), "the module keeps the letters of %s" % word)
# Every dictionary text was read by the loader.
check(dictionary <= set(native.values()) | {l for v in native.values() for l in v.split("\r\n")},
      "the loader read every text of the dictionary")

user = read("user")
check(user == qps, "APP.<the user's locale abbreviation> read the same")
check(read("user1251") == qps, "APP.<the user's locale abbreviation> on code page 1251 read the same")
for name in ("qps1251", "native1251"):
    with open(os.path.join(art, name + ".err"), encoding="utf-8", errors="replace") as f:
        check("ANSI code page 1251" in f.read(), "%s ran on code page 1251" % name)
q1251 = read("qps1251")
if not check(q1251 == qps, "the module reads the same on code page 1251"):
    for key in sorted(k for k in qps if q1251.get(k) != qps[k]):
        print("     on 1251: %s=%r (on 1252: %r)" % (key, q1251.get(key), qps[key]))
n1251 = read("native1251")
for key in sorted(k for k in native if n1251.get(k) != native[k]):
    print("     the program itself on 1251: %s=%r (on 1252: %r)" % (key, n1251.get(key), native[key]))


prog = resources(os.path.join(app, "fwapp.exe"))
mod = resources(os.path.join(app, "fwapp.QPS"))
kept = 0
for key, data in sorted(prog.items(), key=str):
    rtype = key[0]
    if rtype == 6 or (rtype == 10 and data[:4] == b"TPF0"):
        check(key in mod, "the module has %s" % (key,))
        continue
    kept += 1
    check(mod.get(key) == data, "%s byte for byte in the module" % (key,))
check(kept >= 13, "%d resources that are not forms or strings compared" % kept)
check((10, 101, 0) in mod and mod[(10, 101, 0)] == prog[(10, 101, 0)],
      "RCDATA 101 is in the module under its numeric id, unchanged")
check(not any(k[0] == 10 and k[1] == "101" for k in mod), "RCDATA 101 is not written as the name \"101\"")


def strings(block, data):
    out, at = {}, 0
    for slot in range(16):
        n = int.from_bytes(data[at:at + 2], "little")
        at += 2
        if n:
            out[16 * (block - 1) + slot] = data[at:at + 2 * n].decode("utf-16-le")
        at += 2 * n
    return out


# Every language of a string block is in the module with its own strings: a text the same as the
# block's first language (the one the dictionary was taken from) is translated, one of its own is
# kept as it is.
blocks = {}
for (rtype, block, lang), data in prog.items():
    if rtype == 6:
        blocks.setdefault(block, []).append(lang)
two = 0
for block, langs in sorted(blocks.items()):
    langs.sort()
    first = strings(block, prog[(6, block, langs[0])])
    for lang in langs[1:]:
        two += 1
        own, out = strings(block, prog[(6, block, lang)]), strings(block, mod.get((6, block, lang), b"\0" * 32))
        check(set(out) == set(own), "block %d language 0x%04x has its own ids %s" % (block, lang, sorted(own)))
        for sid, text in sorted(own.items()):
            if text == first.get(sid) and has_letter(text):
                check(out.get(sid) not in (None, text) and out[sid] == strings(block, mod[(6, block, langs[0])])[sid],
                      "%d in language 0x%04x translated as in 0x%04x: %r" % (sid, lang, langs[0], out.get(sid)))
            elif text != first.get(sid):
                check(out.get(sid) == text, "%d in language 0x%04x, a text of its own, kept: %r" % (sid, lang, text))
check(two >= 1, "%d string blocks in a second language compared" % two)
sys.exit(1 if e2e_check.fails else 0)
