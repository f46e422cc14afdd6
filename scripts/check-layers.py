#!/usr/bin/env python3
"""Checks that the layers depend on each other one way only.

The layers, bottom up: core (standard C++ only), platform (beside every layer but core), props,
engine, app; tools sit on top. Every source file may include only from its own layer and the
layers below it (quoted includes, written from the repository root, "core/JsonWrapper.h", or
relative to the including file), and each layer's CMake library links only the libraries of the
layers right below it. Prints each offence and exits with 1 when there is one.
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
# The project libraries each layer's targets may link: exactly the allowed arrows.
LINKS = {
    "core": set(),
    "platform": {"varenko_core"},
    "props": {"varenko_core", "varenko_platform"},
    "engine": {"varenko_props", "varenko_platform"},
    "app": {"varenko_engine", "varenko_platform"},
    "tools": {"varenko_app", "varenko_engine"},
}
LINK_CALL = re.compile(r"target_link_libraries\(\s*([\w-]+)([^)]*)\)", re.S)
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


def link_problems(root):
    found = []
    for layer, allowed in LINKS.items():
        path = os.path.join(root, layer, "CMakeLists.txt")
        if not os.path.exists(path):
            found.append(f"{layer}/CMakeLists.txt is missing")
            continue
        with open(path, encoding="utf-8") as cmake:
            text = re.sub(r"#.*", "", cmake.read())
        for target, arguments in LINK_CALL.findall(text):
            for library in arguments.split():
                if library.startswith("varenko_") and library not in allowed | {f"varenko_{layer}"}:
                    found.append(f"{layer}/CMakeLists.txt: {target} links {library}, against the layers' direction")
    return found


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    found = problems(root) + link_problems(root)
    for line in found:
        print(line)
    if found:
        return 1
    print("layers: every include and every link goes to the same layer or one below it")
    return 0


if __name__ == "__main__":
    sys.exit(main())
