#!/usr/bin/env python3
"""Checks the layout rules of the tree that keep it easy to find one's way:

1. no folder of code holds more than a quarter of the program and library lines;
2. the dependency arrows between folders (who includes whose headers) run one way;
3. each CMake target links exactly the project libraries, and the known outside libraries,
   whose headers its sources include;
4. the toolbox (voikit/ and its program) includes nothing of the host's folder, and nothing
   includes the Python module's folder (python/), a binding over the libraries that no code
   builds on.

Prints every breach and exits 1 if there is one. Tests, benchmarks and fuzz targets are not
programs or libraries and are not counted."""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
NOT_CODE = {"tests", "bench", "fuzz", "docs", "examples", "scripts", ".ci", ".git"}
SHARE_LIMIT = 0.25
# Outside libraries whose headers say what a target must link.
OUTSIDE = {
    "CLI/": "CLI11::CLI11",
    "nlohmann/": "nlohmann_json::nlohmann_json",
    "cairo": "PkgConfig::CAIRO",
    "nifti2_io.h": "${NIFTI2_LIBRARY}",
    "fmt/": "fmt::fmt",
    "nettle/": "PkgConfig::NETTLE",
    "libdeflate.h": "${DEFLATE_LIBRARY}",
    "png.h": "PkgConfig::LIBPNG",
    "zlib.h": "ZLIB::ZLIB",
    "pybind11/": "pybind11::module",
}
# Arrows that must not exist even one way: the toolbox and its program know nothing of the
# host the plug-in runs in (only the host stand-in plays it).
FORBIDDEN = [("voikit", "host"), ("apps/glomera-voi", "host")]
# The Python module (python/, linking pybind11::module) binds the libraries; nothing else
# includes its headers.
BINDING = "python"
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)


def code_folders():
    folders = {}
    for path in ROOT.rglob("*"):
        if path.suffix not in (".cpp", ".h") or not path.is_file():
            continue
        relative = path.relative_to(ROOT)
        if relative.parts[0] in NOT_CODE or relative.parts[0].startswith("build"):
            continue
        folders.setdefault(str(relative.parent), []).append(path)
    return folders


def includes(paths):
    """The project folders and outside headers that the files include."""
    folders, outside = set(), set()
    for path in paths:
        for kind, name in INCLUDE.findall(path.read_text(errors="replace")):
            if kind == '"' and "/" in name:
                folders.add(name.rsplit("/", 1)[0])
            elif kind == "<":
                outside.add(name)
    return folders, outside


def cmake_targets(folder):
    """(name, sources, linked names, names linked whole) of each target declared in the folder's CMakeLists."""
    listing = ROOT / folder / "CMakeLists.txt"
    if not listing.exists():
        return []
    text = re.sub(r"#[^\n]*", "", listing.read_text())
    targets = []
    for match in re.finditer(r"add_(?:library|executable)\(\s*([\w-]+)([^)]*)\)", text):
        name, rest = match.group(1), match.group(2).split()
        sources = [word for word in rest if word.endswith(".cpp")]
        linked, whole = set(), set()
        for link in re.finditer(r"target_link_libraries\(\s*%s\s+([^)]*)\)" % re.escape(name), text):
            for word in link.group(1).split():
                archive = re.match(r'^"?\$<LINK_LIBRARY:WHOLE_ARCHIVE,([\w-]+)>"?$', word)
                if archive:
                    # Linked whole for the symbols it exports, not for its headers.
                    whole.add(archive.group(1))
                elif word not in ("PUBLIC", "PRIVATE", "INTERFACE"):
                    linked.add(word)
        targets.append((name, sources, linked, whole))
    return targets


def main():
    breaches = []
    folders = code_folders()
    lines = {folder: sum(len(p.read_text(errors="replace").splitlines()) for p in paths)
             for folder, paths in folders.items()}
    total = sum(lines.values())
    print(f"{total} lines of programs and libraries in {len(folders)} folders")
    for folder, count in sorted(lines.items(), key=lambda item: -item[1]):
        share = count / total
        print(f"  {folder:<24} {count:>6} {share:6.1%}")
        if share > SHARE_LIMIT:
            breaches.append(f"{folder} holds {share:.0%} of the lines, more than {SHARE_LIMIT:.0%}: split it")

    arrows = {folder: includes(paths)[0] - {folder} for folder, paths in folders.items()}
    for folder, targets in arrows.items():
        for target in targets:
            if target not in folders:
                breaches.append(f"{folder} includes headers of {target}, which is not a folder of code")

    for folder, targets in arrows.items():
        for source, target in FORBIDDEN:
            if (folder == source or folder.startswith(source + "/")) and target in targets:
                breaches.append(f"{folder} includes headers of {target}, which it must not know")

    for folder, targets in arrows.items():
        if folder != BINDING and not folder.startswith(BINDING + "/") and BINDING in targets:
            breaches.append(f"{folder} includes headers of {BINDING}, the Python binding")

    # Depth-first search for a cycle among the arrows.
    state = {}

    def visit(folder, trail):
        state[folder] = "open"
        for target in sorted(arrows.get(folder, ())):
            if state.get(target) == "open":
                cycle = trail[trail.index(target):] + [target]
                breaches.append("arrows run both ways: " + " -> ".join(cycle))
            elif target not in state:
                visit(target, trail + [target])
        state[folder] = "done"

    for folder in sorted(arrows):
        if folder not in state:
            visit(folder, [folder])

    # Each folder's own library is the first library its CMakeLists declares.
    library_of = {}
    declared = {}
    for folder in folders:
        targets = cmake_targets(folder)
        declared[folder] = targets
        if targets:
            library_of[folder] = targets[0][0]
    project_targets = {name for targets in declared.values() for name, _, _, _ in targets}
    for folder, targets in declared.items():
        for index, (name, sources, linked, whole) in enumerate(targets):
            paths = [ROOT / folder / source for source in sources]
            if index == 0:
                paths += [p for p in folders[folder] if p.suffix == ".h"]
            used, outside = includes(paths)
            wanted = {library_of[f] for f in used if f in library_of and library_of[f] != name}
            wanted |= {lib for header in outside for prefix, lib in OUTSIDE.items() if header.startswith(prefix)}
            have = {word for word in linked if word in project_targets or word in OUTSIDE.values()}
            wanted -= whole
            for missing in sorted(wanted - have):
                breaches.append(f"{folder}: {name} includes headers of {missing} but does not link it")
            for extra in sorted(have - wanted):
                breaches.append(f"{folder}: {name} links {extra} but includes none of its headers")

    print("dependency arrows:")
    for folder in sorted(arrows):
        print(f"  {folder} -> {', '.join(sorted(arrows[folder])) or '(nothing)'}")
    for breach in breaches:
        print("layout: " + breach, file=sys.stderr)
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
