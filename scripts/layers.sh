#!/usr/bin/env bash
# Each folder of src/ is a room that may include only its own headers and
# those of the rooms below it. Prints every include that points upwards and
# exits non-zero when there is one.
#   scripts/layers.sh
set -eu
cd "$(dirname "${BASH_SOURCE[0]}")/.."
python3 - <<'PY'
import pathlib, re, sys
order = ["framework", "system", "catalogue", "choices", "settings", "actions",
         "recovery", "hiding", "engine", "ui", "app"]
rank = {room: i for i, room in enumerate(order)}
include = re.compile(r'^\s*#\s*include\s+"([^/"]+)/')
bad = 0
for path in sorted(pathlib.Path("src").rglob("*")):
    if path.suffix not in (".h", ".cpp") or len(path.parts) < 3:
        continue  # main.cpp sits above every room
    room = path.parts[1]
    if room not in rank:
        print(f"{path}: folder '{room}' is not a known room", file=sys.stderr)
        bad += 1
        continue
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        m = include.match(line)
        if m and m.group(1) in rank and rank[m.group(1)] > rank[room]:
            print(f"{path}:{number}: {room} includes {m.group(1)}, a room above it", file=sys.stderr)
            bad += 1
sys.exit(1 if bad else 0)
PY
