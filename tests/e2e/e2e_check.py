"""Helpers of the end-to-end checkers: counted checks and what fwloader printed."""
import os

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
