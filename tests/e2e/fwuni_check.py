#!/usr/bin/python3
"""Checks what fwuni_e2e.sh left: a Unicode-era program named in Chinese and Cyrillic letters.

    fwuni_check.py ARTIFACTS APP_DIR

Its forms go through the text form and back with every name as it is; its dictionary names the
components so; the module holds every form under the program's resource names and every text
translated (texts without letters kept, no '?' the program lacks); the module reads the same on
code pages 1252 and 1251; module verify found it complete.
"""
import json
import os
import sys

import e2e_check
from e2e_check import check, has_letter, resources

art, app = sys.argv[1], sys.argv[2]


def read(name):
    return e2e_check.loader_texts(art, name)


# The forms through the text form: the same text again, the names written as they are.
texts = ""
forms = sorted(f for f in os.listdir(os.path.join(art, "forms")) if f.endswith(".bin"))
for f in forms:
    base = os.path.join(art, "forms", f[:-4])
    try:
        with open(base + ".txt", "rb") as a, open(base + ".again.txt", "rb") as b:
            first, again = a.read(), b.read()
    except OSError as e:
        check(False, "%s: %s" % (f, e))
        continue
    check(first == again, "%s reads back to the same text" % f)
    texts += first.decode("utf-8", errors="replace")
for header in ("object MainForm: TMainForm", "  object 日志记录: TLabel", "  object Поле_ввода: TEdit",
               "  inline 地址框架: TAddressFrame", "    inherited Улица: TLabel", "  object 城市: TLabel",
               "object ФормаНастроек: TФормаНастроек", "object 日志窗体: T日志窗体",
               "  ActiveControl = Поле_ввода", "    OnClick = 保存按钮Click", "    FocusControl = Поле_ввода"):
    check(header in texts, "the text form writes %r" % header)

# The dictionary names the components as the program does.
names = set()


def walk(node):
    if isinstance(node, dict):
        if "name" in node:
            names.add(node["name"])
        if "nameHex" in node:
            names.add(bytes.fromhex(node["nameHex"]).decode("utf-8", errors="replace"))
        for v in node.values():
            walk(v)
    elif isinstance(node, list):
        for v in node:
            walk(v)


with open(os.path.join(art, "fwuni.ntv.json"), encoding="utf-8") as f:
    walk(json.load(f))
for name in ("日志记录", "Поле_ввода", "状态栏.Panels[0]", "Список2", "地址框架.Улица", "城市", "ФормаНастроек", "Кнопка1",
             "ГруппаЯзык", "日志窗体", "日志列表.Columns[1]"):
    check(name in names, "the dictionary has %s" % name)

native, qps = read("native"), read("qps")
check(len(native) >= 15, "the loader read %d texts of the program" % len(native))
check(set(native) == set(qps), "the module has the program's texts, no more, no less")
for k in sorted(set(native) ^ set(qps)):
    print("     only in one: %s" % k)
for key in ("TMAINFORM.Caption", "TMAINFORM.日志记录.Caption", "TMAINFORM.Поле_ввода.Hint", "TMAINFORM.Поле_ввода.Text",
            "TMAINFORM.状态栏.Panels[1].Text", "TMAINFORM.Список2.Items.Strings[1]", "TMAINFORM.地址框架.Улица.Caption",
            "TADDRESSFRAME.城市.Caption", "TФОРМАНАСТРОЕК.Caption", "TФОРМАНАСТРОЕК.Кнопка1.Caption",
            "TФОРМАНАСТРОЕК.ГруппаЯзык.Items.Strings[1]", "T日志窗体.Caption", "T日志窗体.日志列表.Columns[1].Caption",
            "S65534", "S65533"):
    check(key in native, "the program's %s is read" % key)
translated = 0
for key, old in native.items():
    new = qps.get(key)
    if new is None:
        continue
    if key.endswith(".Font.Name"):
        check(new == old, "%s: a font's name is not translated: %r" % (key, new))
    elif has_letter(old):
        translated += 1
        check(new != old and new.startswith("[") and new.endswith("]"), "%s is the pseudo text: %r" % (key, new))
        lost = [c for c in old if ord(c) > 127 and has_letter(c) and c not in new]
        check(not lost, "%s keeps the letters of %r" % (key, old))
    else:
        check(new == old, "%s without letters unchanged: %r" % (key, new))
    check(new.count("?") <= old.count("?"), "%s: no '?' the program lacks" % key)
print("     %d texts translated" % translated)

for name in ("qps1251", "native1251"):
    try:
        with open(os.path.join(art, name + ".err"), encoding="utf-8", errors="replace") as f:
            check("ANSI code page 1251" in f.read(), "%s ran on code page 1251" % name)
    except OSError:
        check(False, "%s ran" % name)
check(read("qps1251") == qps, "the module reads the same on code page 1251")
check(read("native1251") == native, "the program reads the same on code page 1251")

with open(os.path.join(art, "verify.txt"), encoding="utf-8", errors="replace") as f:
    verify = f.read()
check("forms: 0 missing, 0 unreadable, 0 not translated" in verify and "complete" in verify,
      "module verify: every form there and translated, complete")


prog = resources(os.path.join(app, "fwuni.exe"))
mod = resources(os.path.join(app, "fwuni.QPS"))
for key, data in sorted(prog.items(), key=str):
    if key[0] == 10 and data[:4] == b"TPF0":
        check(key in mod and mod[key] != data, "form %s in the module under its own name, translated" % (key[1],))
    elif key[0] != 6:
        check(mod.get(key) == data, "%s byte for byte in the module" % (key,))
for name in ("T日志窗体", "TФОРМАНАСТРОЕК"):
    check((10, name, 0) in prog, "the program has the form resource %s" % name)
sys.exit(1 if e2e_check.fails else 0)
