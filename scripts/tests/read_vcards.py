#!/usr/bin/env python3
"""Reads a vCard file with python3-vobject (an independent parser) and prints its cards as JSON.

Used by the contact export tests: what another program reads from Kestrium's export.
Each card: fn, n (family, given, additional), org, title, categories, note, adr (street,
extended, city, region, code, country) and numbers as [property, types, value] in file order.
"""
import json
import sys

import vobject


def text(card, name):
    return card.contents[name][0].value if name in card.contents else ""


def numbers(card):
    found = []
    for line in card.lines():
        if line.name in ("TEL", "EMAIL", "IMPP"):
            types = [t.lower() for t in line.params.get("TYPE", [])]
            for value in line.params.get("PREF", []):
                types.append("pref=" + value)
            found.append([line.name, sorted(types), line.value])
    return found


def card_json(card):
    n = card.n.value if "n" in card.contents else vobject.vcard.Name()
    adr = card.adr.value if "adr" in card.contents else None
    org = card.org.value if "org" in card.contents else []
    return {
        "fn": text(card, "fn"),
        "n": [n.family, n.given, n.additional],
        "org": org,
        "title": text(card, "title"),
        "categories": card.categories.value if "categories" in card.contents else [],
        "note": text(card, "note"),
        "adr": [adr.street, adr.extended, adr.city, adr.region, adr.code, adr.country] if adr else [],
        "numbers": numbers(card),
    }


def main():
    with open(sys.argv[1], encoding="utf-8", newline="") as f:
        data = f.read()
    cards = [card_json(card) for card in vobject.readComponents(data)]
    json.dump(cards, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
