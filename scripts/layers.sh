#!/usr/bin/env bash
# Each folder of src/ is a room, a static library that may include only its
# own headers and those of the rooms it links, directly or through another
# room: the covelin_library(covelin_ROOM covelin_OTHER ...) lines of the
# rooms' CMakeLists.txt are the tree this checks. Prints every include that
# reaches outside that tree and exits non-zero when there is one.
#   scripts/layers.sh
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
python3 - <<'PY'
import pathlib, re, sys

declared = re.compile(r"^\s*covelin_library\(\s*covelin_(\w+)([^)]*)\)", re.M)
links = {}
bad = 0
for cmake in sorted(pathlib.Path("src").glob("*/CMakeLists.txt")):
    found = declared.findall(cmake.read_text(encoding="utf-8"))
    if len(found) != 1 or found[0][0] != cmake.parent.name:
        print(f"{cmake}: expected one covelin_library(covelin_{cmake.parent.name} ...)", file=sys.stderr)
        bad += 1
        continue
    links[cmake.parent.name] = re.findall(r"\bcovelin_(\w+)", found[0][1])

def reach(room, seen=()):
    """The rooms `room` may include: itself and all it links, transitively."""
    if room in seen:
        print(f"src/{room}: rooms link each other in a circle: {' -> '.join(seen + (room,))}", file=sys.stderr)
        sys.exit(1)
    below = {room}
    for other in links.get(room, []):
        if other in links:
            below |= reach(other, seen + (room,))
    return below

allowed = {room: reach(room) for room in links}
include = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')
for path in sorted(pathlib.Path("src").rglob("*")):
    if path.suffix not in (".h", ".cpp") or len(path.parts) < 3:
        continue  # main.cpp sits above every room
    room = path.parts[1]
    if room not in allowed:
        print(f"{path}: folder '{room}' is not a known room", file=sys.stderr)
        bad += 1
        continue
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        m = include.match(line)
        if m and m.group(1) in allowed and m.group(1) not in allowed[room]:
            print(f"{path}:{number}: {room} includes {m.group(1)}, which it does not link", file=sys.stderr)
            bad += 1
sys.exit(1 if bad else 0)
PY
