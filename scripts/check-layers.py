#!/usr/bin/env python3
"""Checks that every source file includes only from its own layer and the layers below it.

The layers, bottom up: core (standard C++ only), platform (beside every layer but core), props,
engine, app; tools sit on top. Includes are the quoted ones, written from the repository root
("core/JsonWrapper.h") or relative to the including file. Prints each offending include and
exits with 1 when there is one.
"""
import os
import re
import sys

# What each layer may include, its own folder included.
ALLOWED = {
    "core": {"core"},
    "platform": {"platform", "core"},
    "props": {"props", "core", "platform"},
    "engine": {"engine", "props", "core", "platform"},
    "app": {"app", "engine", "props", "core", "platform"},
    "tools": {"tools", "app", "engine", "props", "core", "platform"},
}
# Headers that core must never include, whatever the include path.
PLATFORM_HEADERS = re.compile(r"^(windows|win\w*|ole\w*|objbase|unknwn|shl\w*|shobj\w*|comdef|atl\w*)\.h$", re.I)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCE = (".h", ".hpp", ".cpp", ".cc", ".c")


def layer_of(root, path):
    """The layer a repository path belongs to, or None for folders outside the layers."""
    first = os.path.relpath(path, root).split(os.sep)[0]
    return first if first in ALLOWED else None


def problems(root):
    found = []
    for layer in ALLOWED:
        for folder, _, names in os.walk(os.path.join(root, layer)):
            for name in names:
                if not name.endswith(SOURCE):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    text = source.read()
                for kind, target in INCLUDE.findall(text):
                    where = os.path.relpath(path, root)
                    if kind == "<":
                        if layer == "core" and PLATFORM_HEADERS.match(os.path.basename(target)):
                            found.append(f"{where}: core/ includes the platform header <{target}>")
                        continue
                    beside = os.path.normpath(os.path.join(folder, target))
                    resolved = beside if os.path.exists(beside) else os.path.normpath(os.path.join(root, target))
                    target_layer = layer_of(root, resolved)
                    if target_layer is None:
                        found.append(f'{where}: includes "{target}", which is outside the layers')
                    elif target_layer not in ALLOWED[layer]:
                        found.append(f'{where}: {layer}/ includes "{target}" from {target_layer}/, a layer above it')
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    found = problems(root)
    for line in found:
        print(line)
    if found:
        return 1
    print("layers: every include goes to the same layer or one below it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
