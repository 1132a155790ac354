#!/usr/bin/env python3
"""Eye openness of each face across the frames of a burst, on a card made by make-card.

Runs `mendral-cli analyze --faces` on the frames of every multi-frame people scene, follows each
face from frame to frame by where its box sits (the frames of a burst move by a few percent),
and prints: the share of faces whose openness stays within +-0.15 over the frames that measure
it, the share of readings that say "closed" (0 <= openness < 0.35; the card's people have their
eyes open, but for its blinks, which are left out) and the share of readings left unmeasured.
Usage: eyes.py CLI TRUTH [--tsv]
"""
import argparse
import json
import os
import subprocess
import sys

# Two boxes in different frames are the same face when their centres are this close
# (normalised units) and their sizes within a factor of 1.3.
NEAR = 0.06


def centre(box):
    x, y, w, h = box
    return x + w / 2, y + h / 2, max(w, h)


def faces_of(cli, paths):
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    out = subprocess.run([cli, "analyze", "--faces"] + paths, env=env, capture_output=True, check=True)
    return {f["path"]: f.get("faces", []) for f in json.loads(out.stdout)["files"]}


def tracks(frames):
    """Face tracks: lists of openness readings (None when not measured), one per frame found."""
    found = []  # [cx, cy, side, readings]
    for faces in frames:
        for face in faces:
            cx, cy, side = centre(face["box"])
            match = None
            for t in found:
                if abs(t[0] - cx) < NEAR and abs(t[1] - cy) < NEAR and 1 / 1.3 < side / t[2] < 1.3:
                    match = t
                    break
            if match is None:
                found.append([cx, cy, side, [face["eyeOpen"]]])
            else:
                match[0], match[1] = cx, cy
                match[3].append(face["eyeOpen"])
    return [t[3] for t in found]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("cli")
    ap.add_argument("truth")
    ap.add_argument("--tsv", action="store_true")
    args = ap.parse_args()
    truth = json.load(open(args.truth))
    root = truth["root"]
    steady = followed = readings = closed = unmeasured = 0
    for scene in truth["scenes"]:
        if not scene["people"] or len(scene["files"]) < 2:
            continue
        shut = set(scene.get("eyesShut", []))
        paths = [os.path.join(root, f) for f in scene["files"] if f not in shut]
        by_path = faces_of(args.cli, paths)
        for track in tracks([by_path.get(p, []) for p in paths]):
            measured = [v for v in track if v is not None]
            readings += len(track)
            unmeasured += len(track) - len(measured)
            closed += sum(1 for v in measured if v < 0.35)
            if len(measured) >= 2:
                followed += 1
                steady += max(measured) - min(measured) <= 0.30
    rows = [
        ("faces followed over two or more measured frames", followed),
        ("faces within +-0.15 across their burst", steady / followed if followed else 1.0),
        ("face readings flagged closed (all open)", closed / readings if readings else 0.0),
        ("face readings not measured", unmeasured / readings if readings else 0.0),
    ]
    for name, value in rows:
        text = f"{value:.3f}" if isinstance(value, float) else str(value)
        print(f"eyes: {name}\t{text}\t\t" if args.tsv else f"{name:<52} {text:>8}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
