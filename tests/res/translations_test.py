#!/usr/bin/env python3
"""Every translation file is complete and keeps what the program fills in.

Usage: translations_test.py TS_FILE...
For each message of each Qt Linguist file: the translation is finished and not empty (every plural
form of a %n message), it has the same %1..%9 and %n placeholders as the English text, and the same
leading and trailing blanks and line breaks (the call tree joins " (Busy)" to a number). A failure
names the file, the context and the English text.
"""
import re
import sys
import xml.etree.ElementTree as ET

PLACEHOLDER = re.compile(r"%(?:[1-9]|n)")


def edges(text):
    """The blanks and line breaks at the start and the end of a text."""
    stripped = text.strip()
    if not stripped:
        return (text, "")
    start = text.index(stripped)
    return (text[:start], text[start + len(stripped):])


def problems_of(message, numerus):
    source = message.findtext("source") or ""
    translation = message.find("translation")
    if translation is None or translation.get("type") in ("unfinished", "obsolete", "vanished"):
        return ["not translated"]
    forms = [form.text or "" for form in translation.findall("numerusform")] if numerus else [translation.text or ""]
    problems = []
    for form in forms:
        if not form.strip():
            problems.append("empty translation")
        elif sorted(PLACEHOLDER.findall(form)) != sorted(PLACEHOLDER.findall(source)):
            problems.append("placeholders differ: %r" % form)
        elif edges(form) != edges(source):
            problems.append("blanks at the ends differ: %r" % form)
    return problems


def check(path):
    failures = []
    root = ET.parse(path).getroot()
    count = 0
    for context in root.iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            count += 1
            for problem in problems_of(message, message.get("numerus") == "yes"):
                failures.append("%s: %s: %r: %s" % (path, name, message.findtext("source"), problem))
    if count == 0:
        failures.append("%s: holds no messages (run the update_translations target)" % path)
    return failures


def main(paths):
    failures = [failure for path in paths for failure in check(path)]
    for failure in failures:
        print(failure)
    print("%d file(s) checked, %d problem(s)" % (len(paths), len(failures)))
    return 1 if failures or not paths else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
