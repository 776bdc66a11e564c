#!/usr/bin/python3
"""The translator's side and the checks of fwapp8_e2e.sh.

    fwapp8_check.py translate ru|cs PSEUDO.json OUT.json [--leave-polish]
        A language file dump (lng dump of lng pseudo's output) with every text replaced by its
        translation; --leave-polish keeps the Polish status text in it.
    fwapp8_check.py check ARTIFACTS APP_DIR
        What fwloader read with the 8-bit reader: the program's own Polish texts on code page
        1250; the Russian module on 1251 and the Czech one on 1250, found by the user's locale
        abbreviation, every text exactly its translation, every other text as the program has it,
        no '?'.
"""
import json
import os
import sys

import e2e_check
from e2e_check import check as ok

# Dictionary item -> (the loader's keys, Polish, Russian, Czech). A string list is one item whose
# lines the loader reads one by one.
ITEMS = {
    "MainForm.Caption": (["TMAINFORM.Caption"], "Faktury", "Счета", "Fakturace"),
    "MainForm.FileMenu.Caption": (["TMAINFORM.MainMenu1.FileMenu.Caption"], "&Plik", "&Файл", "&Soubor"),
    "MainForm.OpenItem.Caption": (["TMAINFORM.MainMenu1.FileMenu.OpenItem.Caption"], "&Otwórz...", "&Открыть...",
                                  "&Otevřít..."),
    "MainForm.ExitItem.Caption": (["TMAINFORM.MainMenu1.FileMenu.ExitItem.Caption"], "&Zakończ", "В&ыход",
                                  "&Ukončit"),
    "MainForm.SaveButton.Caption": (["TMAINFORM.SaveButton.Caption"], "Zapisz zmiany", "Сохранить изменения",
                                    "Uložit změny"),
    "MainForm.CopiesEdit.Hint": (["TMAINFORM.CopiesEdit.Hint"], "Liczba kopii do wydruku", "Число копий для печати",
                                 "Počet kopií k tisku"),
    "MainForm.StatusLabel.Caption": (["TMAINFORM.StatusLabel.Caption"], "Gotowe: żółć, źdźbło, łąka",
                                     "Готово: жёлтый, стебель, луг", "Hotovo: žluť, stéblo, louka"),
    "MainForm.KindBox.Items.Strings": (["TMAINFORM.KindBox.Items.Strings[%d]" % i for i in range(3)],
                                       "Faktura\r\nParagon\r\nKorekta ilości", "Счёт\r\nЧек\r\nКорректировка количества",
                                       "Faktura\r\nÚčtenka\r\nOprava množství"),
    "MainForm.KindBox.Text": (["TMAINFORM.KindBox.Text"], "Faktura", "Счёт", "Faktura"),
    "MainForm.Invoices.Columns[0].Caption": (["TMAINFORM.Invoices.Columns[0].Caption"], "Numer", "Номер", "Číslo"),
    "MainForm.Invoices.Columns[1].Caption": (["TMAINFORM.Invoices.Columns[1].Caption"], "Kontrahent", "Контрагент",
                                             "Odběratel"),
    "MainForm.Invoices.Columns[2].Caption": (["TMAINFORM.Invoices.Columns[2].Caption"], "Kwota", "Сумма", "Částka"),
    "OptionsDialog.Caption": (["TOPTIONSDIALOG.Caption"], "Ustawienia", "Настройки", "Nastavení"),
    "OptionsDialog.PrinterGroup.Caption": (["TOPTIONSDIALOG.PrinterGroup.Caption"], "Drukarka", "Принтер",
                                           "Tiskárna"),
    "OptionsDialog.DuplexCheck.Caption": (["TOPTIONSDIALOG.PrinterGroup.DuplexCheck.Caption"], "Druk dwustronny",
                                          "Двусторонняя печать", "Oboustranný tisk"),
    "OptionsDialog.CopiesLabel.Caption": (["TOPTIONSDIALOG.PrinterGroup.CopiesLabel.Caption"], "Ilość kopii:",
                                          "Число копий:", "Počet kopií:"),
    "OptionsDialog.OkButton.Caption": (["TOPTIONSDIALOG.OkButton.Caption"], "OK", "ОК", "OK"),
    "OptionsDialog.CancelButton.Caption": (["TOPTIONSDIALOG.CancelButton.Caption"], "Anuluj", "Отмена", "Zrušit"),
    "S65535": (["S65535"], "Faktura %d z %d", "Счёт %d из %d", "Faktura %d z %d"),
    "S65534": (["S65534"], 'Nie można otworzyć pliku "%s"', 'Не удаётся открыть файл "%s"',
               'Soubor "%s" nelze otevřít'),
    "S65533": (["S65533"], "Zapisać zmiany w fakturze?", "Сохранить изменения в счёте?", "Uložit změny ve faktuře?"),
    "S65503": (["S65503"], "Invalid floating point operation", "Недопустимая операция с плавающей точкой",
               "Neplatná operace s plovoucí čárkou"),
    "S65502": (["S65502"], "Access violation at address %p", "Нарушение доступа по адресу %p",
               "Narušení přístupu na adrese %p"),
}
LANGS = {"ru": (2, "Russian", "русский"), "cs": (3, "Czech", "čeština")}
# Texts the program reads that are not words: not in the dictionary, the same in every module.
UNCHANGED = {"TMAINFORM.CopiesEdit.Text": "1", "TMAINFORM.MainMenu1.FileMenu.SeparatorItem.Caption": "-",
             "S65532": "12:00"}


def translate(lang, src, dst, leave_polish):
    column, english, native = LANGS[lang]
    with open(src, encoding="utf-8") as f:
        dump = json.load(f)
    dump["header"]["englishName"] = english
    dump["header"]["nativeName"] = native
    seen = set()

    def put(path, record):
        if path not in ITEMS:
            raise SystemExit("fwapp8_check.py: no translation of %s" % path)
        seen.add(path)
        keep = leave_polish and path == "MainForm.StatusLabel.Caption"
        record["text"] = ITEMS[path][1 if keep else column]

    for unit in dump["units"]:
        for c in unit["constants"]:
            put(c["name"], c)
    for form in dump["forms"]:
        for p in form["properties"]:
            put(form["name"] + "." + p["name"], p)
        for comp in form["components"]:
            for p in comp["properties"]:
                put(form["name"] + "." + comp["name"] + "." + p["name"], p)
    if seen != set(ITEMS):
        raise SystemExit("fwapp8_check.py: not in the dictionary: %s" % sorted(set(ITEMS) - seen))
    with open(dst, "w", encoding="utf-8") as f:
        json.dump(dump, f, ensure_ascii=False, indent=2)


def expected(column):
    out = dict(UNCHANGED)
    for keys, *texts in ITEMS.values():
        lines = texts[column - 1].split("\r\n")
        for i, key in enumerate(keys):
            out[key] = lines[i] if len(keys) > 1 else texts[column - 1]
    return out


def check(art, app):
    native = e2e_check.loader_texts(art, "native1250")
    ok(len(native) > 20, "the 8-bit reader read %d texts of the program on code page 1250" % len(native))
    for name, cp, column, abbrev in (("native1250", 1250, 1, None), ("module1251", 1251, 2, "RUS"),
                                     ("module1250", 1250, 3, "CSY")):
        got = e2e_check.loader_texts(art, name)
        with open(os.path.join(art, name + ".err"), encoding="utf-8", errors="replace") as f:
            err = f.read()
        ok("ANSI code page %d" % cp in err, "%s ran on code page %d" % (name, cp))
        if abbrev:
            ok("fwapp8.%s: loaded" % abbrev in err, "%s: fwapp8.%s found by the user's locale" % (name, abbrev))
        want = expected(column)
        # Font names and the like: as the program has them.
        for key, text in native.items():
            want.setdefault(key, text)
        ok(set(got) == set(want), "%s: every text of the program read, no more" % name)
        for key in sorted(set(got) ^ set(want)):
            print("     only in one: %s" % key)
        for key in sorted(want):
            if key in got:
                ok(got[key] == want[key], "%s: %s=%s" % (name, key, got[key]))
        ok(sum(t.count("?") for t in got.values()) == sum(want[k].count("?") for k in got if k in want),
           "%s: no '?' the texts lack" % name)
    sys.exit(1 if e2e_check.fails else 0)


if __name__ == "__main__":
    if sys.argv[1] == "translate":
        translate(sys.argv[2], sys.argv[3], sys.argv[4], "--leave-polish" in sys.argv[5:])
    else:
        check(sys.argv[2], sys.argv[3])
