"""Helpers of the end-to-end checkers: counted checks, what fwloader printed, letters, the
resources of a module."""
import os
import unicodedata

fails = 0


def check(ok, what):
    """Prints the check as "ok" or "FAIL" and counts the failures; gives ok back."""
    global fails
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        fails += 1
    return ok


def loader_texts(art, name):
    """KEY -> text of the lines fwloader wrote to ART/NAME.txt (empty when there is none)."""
    texts = {}
    path = os.path.join(art, name + ".txt")
    if not os.path.exists(path):
        return texts
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f.read().replace("\r\n", "\n").split("\n"):
            if line:
                key, _, text = line.partition("=")
                texts[key] = text.replace("\\r\\n", "\r\n")
    return texts


def has_letter(text):
    """Whether the text has a letter of some script; format specifiers (%d, %s, %p) are no words."""
    i = 0
    while i < len(text):
        c = text[i]
        if c == "%" and i + 1 < len(text):
            i += 2
            continue
        if unicodedata.category(c).startswith("L"):
            return True
        i += 1
    return False


def resources(path):
    """(type, name, language) -> bytes of every resource of a PE file; ids as numbers, names as text."""
    import pefile

    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    out = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for n in t.directory.entries:
            for l in n.directory.entries:
                d = l.data.struct
                key = (t.id if t.id is not None else str(t.name), n.id if n.id is not None else str(n.name), l.id)
                out[key] = pe.get_data(d.OffsetToData, d.Size)
    return out
