#!/usr/bin/env python3
"""Every #include of the program's sources names a header of its own layer or of a layer below.

Usage: layers_test.py SOURCE_DIR LAYER...   (the layers lowest first, as CMakeLists.txt lists them)
A layer is a folder: platform/ and tapi/ at the top of the tree, the others under src/. Headers are
included by layer ("store/csv_codec.h", "ui/panels/contacts_panel.h"); a name without a layer is
a header of the file's own folder.
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def folder_of(layer):
    return layer if layer in ("platform", "tapi") else "src/" + layer


def layer_of(path, layers):
    """The deepest layer whose folder holds `path` (relative, with "/")."""
    best = None
    for layer in layers:
        folder = folder_of(layer) + "/"
        if path.startswith(folder) and (best is None or len(folder) > len(folder_of(best)) + 1):
            best = layer
    return best


def included_layer(header, layers):
    best = None
    for layer in layers:
        if header.startswith(layer + "/") and (best is None or len(layer) > len(best)):
            best = layer
    return best


def main():
    root = pathlib.Path(sys.argv[1])
    layers = sys.argv[2:]
    rank = {layer: index for index, layer in enumerate(layers)}
    problems = []
    checked = 0
    for folder in ("platform", "tapi", "src"):
        for file in sorted((root / folder).rglob("*")):
            if file.suffix not in (".h", ".hpp", ".c", ".cpp"):
                continue
            relative = file.relative_to(root).as_posix()
            own = layer_of(relative, layers)
            if own is None:
                problems.append(f"{relative}: in no layer; add its folder to KESTRIUM_LAYERS")
                continue
            checked += 1
            text = file.read_text(encoding="utf-8", errors="replace")
            for match in INCLUDE.finditer(text):
                header = match.group(1)
                other = included_layer(header, layers)
                if other is not None and rank[other] > rank[own]:
                    line = text.count("\n", 0, match.start()) + 1
                    problems.append(f"{relative}:{line}: layer {own} includes \"{header}\" of layer {other}, "
                                    f"which is above it")
    for problem in problems:
        print(problem)
    print(f"{checked} files checked against the layers {' < '.join(layers)}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
