#!/usr/bin/env python3
"""Culling quality on a card made by make-card, against its ground truth.

Runs `mendral-cli cull --json` on the card with empty settings, cache and data folders, then
prints the pairwise precision, recall and F1 of "same group", the share of multi-frame scenes
whose keeper is recommended, the shares of badly exposed, face-blurred and shaken frames never
recommended, how steady the open-eye score is within bursts of people (whose eyes are all
open) and the number of groups flagged for review. findimagedupes groups the same files in the same run as the
baseline. Usage: quality.py CLI TRUTH [--cull-json FILE | --save-cull FILE] [--tsv] [--explain]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time


def pairs_score(labels_true, labels_pred):
    """Pairwise precision, recall and F1 of 'in the same group' over the same items."""
    items = sorted(labels_true)
    tp = fp = fn = 0
    for a in range(len(items)):
        for b in range(a + 1, len(items)):
            same_t = labels_true[items[a]] == labels_true[items[b]]
            same_p = labels_pred[items[a]] == labels_pred[items[b]]
            tp += same_t and same_p
            fp += same_p and not same_t
            fn += same_t and not same_p
    p = tp / (tp + fp) if tp + fp else 1.0
    r = tp / (tp + fn) if tp + fn else 1.0
    f = 2 * p * r / (p + r) if p + r else 0.0
    return p, r, f


def run_cull(cli, root):
    with tempfile.TemporaryDirectory(prefix="mendral-quality-") as home:
        env = dict(os.environ)
        # The neural models stay where setup put them; only settings and caches start empty.
        data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
        env.setdefault("MENDRAL_MODELS", os.path.join(data, "Mendral", "models"))
        for var in ("XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"):
            env[var] = os.path.join(home, var.lower())
            os.makedirs(env[var])
        env.setdefault("QT_QPA_PLATFORM", "offscreen")
        start = time.monotonic()
        out = subprocess.run([cli, "cull", root, "--json"], env=env, capture_output=True, check=True)
        return json.loads(out.stdout), time.monotonic() - start


def run_findimagedupes(root, files):
    """Groups as findimagedupes prints them (one set per line); unlisted files stand alone."""
    start = time.monotonic()
    out = subprocess.run(["findimagedupes", "-q", "--"] + [os.path.join(root, f) for f in files],
                         capture_output=True, text=True)
    elapsed = time.monotonic() - start
    label = {f: i for i, f in enumerate(files)}
    index = {os.path.join(root, f): f for f in files}
    parent = list(range(len(files)))

    def find(x):
        while parent[x] != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    for line in out.stdout.splitlines():
        members = [index[p] for p in line.split() if p in index]
        for m in members[1:]:
            parent[find(label[m])] = find(label[members[0]])
    return {f: find(label[f]) for f in files}, elapsed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("cli")
    ap.add_argument("truth")
    ap.add_argument("--cull-json", help="read this cull output instead of running the command")
    ap.add_argument("--save-cull", help="keep the cull output in this file")
    ap.add_argument("--tsv", action="store_true", help="rows of figure, ours, baseline, ratio")
    ap.add_argument("--explain", action="store_true", help="list every miss with its values")
    args = ap.parse_args()

    truth = json.load(open(args.truth))
    root = truth["root"]
    if args.cull_json:
        cull, cull_time = json.load(open(args.cull_json)), float("nan")
    else:
        cull, cull_time = run_cull(args.cli, root)
        if args.save_cull:
            json.dump(cull, open(args.save_cull, "w"))

    photos = cull["photos"]
    rel = [os.path.relpath(p["url"], root) for p in photos]
    by_file = {f: i for i, f in enumerate(rel)}
    truth_files = {p["file"]: p for p in truth["photos"]}
    missing = sorted(set(truth_files) - set(by_file))
    extra = sorted(set(by_file) - set(truth_files))
    companions_wrong = [f for f, p in truth_files.items() if f in by_file and
                        sorted(os.path.relpath(c, root) for c in photos[by_file[f]]["companions"])
                        != sorted(p["companions"])]

    group_of = {}
    for g, group in enumerate(cull["groups"]):
        for i in group["indices"]:
            group_of[rel[i]] = g
    common = [f for f in truth_files if f in group_of]
    scene = {f: truth_files[f]["scene"] for f in common}
    ours = pairs_score(scene, {f: group_of[f] for f in common})

    theirs_labels, dupes_time = run_findimagedupes(root, common)
    theirs = pairs_score(scene, theirs_labels)

    recommended = {rel[g["indices"][g["recommended"]]] for g in cull["groups"] if g["indices"]}
    # What the window recommends without asking the user to look: a group of bad frames only
    # must recommend one of them, and then says so by its call for review.
    unflagged = {rel[g["indices"][g["recommended"]]] for g in cull["groups"] if g["indices"] and not g["needsReview"]}
    multi = [s for s in truth["scenes"] if len(s["files"]) > 1]
    kept = [s for s in multi if any(k in recommended for k in s["keepers"])]

    # The recommendation apart from the grouping: does the keeper outscore the other frames of
    # its own scene within its group (a group joining two scenes can recommend the other's)?
    def keeper_leads(scene):
        for k in scene["keepers"]:
            if k not in group_of:
                continue
            group = cull["groups"][group_of[k]]
            score = {rel[i]: group["scores"][p] for p, i in enumerate(group["indices"])}
            rivals = [score[f] for f in scene["files"] if f in score and f != k]
            if all(score[k] > r for r in rivals):
                return True
        return False

    leading = [s for s in multi if keeper_leads(s)]
    bad = [f for s in truth["scenes"] for f in s["badlyExposed"]]
    bad_recommended = [f for f in bad if f in recommended]
    review = sum(1 for g in cull["groups"] if g["needsReview"])
    # Older cards have no blur kinds: their rows then read as nothing to miss.
    subject = [f for s in truth["scenes"] for f in s.get("subjectBlurred", [])]
    motion = [f for f, p in truth_files.items() if p.get("blurKind") == "motion"]
    shut = {f for s in truth["scenes"] for f in s.get("eyesShut", [])}
    eyes = eye_figures(truth, cull, by_file, shut)
    # A blink is caught when its frame reads closed eyes (the window's "可能有人闭眼").
    caught = [f for f in shut if f in by_file and 0 <= cull["photos"][by_file[f]]["eyeOpen"] < 0.35]

    rows = [
        ("photos found / expected", len(photos), len(truth_files)),
        ("missing / extra / wrong companions", f"{len(missing)}/{len(extra)}/{len(companions_wrong)}", "0/0/0"),
        ("groups (truth scenes)", len(cull["groups"]), len(truth["scenes"])),
        ("pairwise precision", ours[0], theirs[0]),
        ("pairwise recall", ours[1], theirs[1]),
        ("pairwise F1", ours[2], theirs[2]),
        ("keeper recommended (share of bursts)", len(kept) / len(multi) if multi else 1.0, None),
        ("keeper scored above its scene's other frames", len(leading) / len(multi) if multi else 1.0, None),
        ("badly exposed never recommended", 1 - len(bad_recommended) / len(bad) if bad else 1.0, None),
        ("subject-blurred never recommended", never(subject, recommended), None),
        ("subject-blurred never recommended unflagged", never(subject, unflagged), None),
        ("motion-blurred never recommended", never(motion, recommended), None),
        ("people bursts with eye-open spread <= 0.30", eyes[0], None),
        ("people frames with eyes not measured", eyes[1], None),
        ("people frames flagged eyes closed (all open)", eyes[2], None),
        ("blinks (main face's eyes shut)", len(shut), None),
        ("blinks flagged eyes closed", len(caught) / len(shut) if shut else 1.0, None),
        ("blinks never recommended", never(sorted(shut), recommended), None),
        ("groups flagged for review", review, None),
        ("grouping seconds (cull, cold / findimagedupes)", cull_time, dupes_time),
    ]
    for name, a, b in rows:
        ratio = ""
        if isinstance(a, float) and isinstance(b, (int, float)) and b:
            ratio = f"{a / b:.2f}"
        fa = f"{a:.3f}" if isinstance(a, float) else str(a)
        fb = "" if b is None else (f"{b:.3f}" if isinstance(b, float) else str(b))
        if args.tsv:
            print(f"quality: {name}\t{fa}\t{fb}\t{ratio}")
        else:
            print(f"{name:<48} {fa:>10} {fb:>14} {ratio:>6}")
    if not args.tsv:
        print("baseline column: findimagedupes (default threshold) on the same files; "
              "truth counts where it has none")

    if args.explain:
        explain(truth, cull, rel, by_file, group_of, multi, recommended, bad_recommended, missing, extra)
    return 0


def never(files, recommended):
    """Share of these files that no group recommends."""
    return 1 - sum(f in recommended for f in files) / len(files) if files else 1.0


def eye_figures(truth, cull, by_file, shut):
    """For people, blinks (`shut`) left out: the share of multi-frame scenes whose measured
    open-eye scores lie within 0.30 of each other, the number of frames left unmeasured (-1)
    and the share of frames scored closed (below 0.35), though their faces have eyes open."""
    steady = scenes = unmeasured = closed = frames = 0
    for s in truth["scenes"]:
        if not s["people"]:
            continue
        scores = [cull["photos"][by_file[f]]["eyeOpen"] for f in s["files"] if f in by_file and f not in shut]
        frames += len(scores)
        unmeasured += sum(1 for e in scores if e < 0)
        closed += sum(1 for e in scores if 0 <= e < 0.35)
        measured = [e for e in scores if e >= 0]
        if len(s["files"]) > 1 and measured:
            scenes += 1
            steady += max(measured) - min(measured) <= 0.30
    return (steady / scenes if scenes else 1.0), unmeasured, (closed / frames if frames else 0.0)


def distance(a, b):
    """Distance of two unit vectors as the grouping compares them."""
    if not a or not b:
        return float("inf")
    m = min(len(a), len(b))
    v = 2 - 2 * sum(x * y for x, y in zip(a[:m], b[:m]))
    return v ** 0.5 if v > 0 else 0.0


def color(a, b):
    if a is None or b is None or len(a) != len(b):
        return None
    return 0.5 * sum(abs(x - y) for x, y in zip(a, b))


def closest_link(cull, by_file, group_of, files):
    """The visually closest pair across the pieces of a split scene, with what the gates read."""
    best = None
    for a in files:
        for b in files:
            if a in by_file and b in by_file and group_of.get(a) != group_of.get(b) and a < b:
                pa, pb = cull["photos"][by_file[a]], cull["photos"][by_file[b]]
                d = distance(pa["featurePrint"], pb["featurePrint"])
                if best is None or d < best[0]:
                    best = (d, a, b, pa, pb)
    if best is None:
        return
    d, a, b, pa, pb = best
    faces = min((distance(x, y) for x in pa["facePrints"] for y in pb["facePrints"]), default=float("inf"))
    hair, torso = color(pa["hairPrint"], pb["hairPrint"]), color(pa["torsoPrint"], pb["torsoPrint"])
    fmt = lambda v: "none" if v is None else f"{v:.3f}"

    def farthest(xs, ys):
        return max((min((distance(x, y) for y in ys), default=float("inf")) for x in xs), default=0.0)

    def cast_distance(xs, ys, multi):
        """The gate's face-set distance: one-sided between groups of several people, else both ways."""
        there, back = farthest(xs, ys), farthest(ys, xs)
        return min(there, back) if multi else max(there, back)

    ga = [p for i, p in enumerate(cull["photos"]) if i in cull["groups"][group_of[a]]["indices"]]
    gb = [p for i, p in enumerate(cull["photos"]) if i in cull["groups"][group_of[b]]["indices"]]
    fa = [x for p in ga for x in p["facePrints"]][:14]
    fb = [x for p in gb for x in p["facePrints"]][:14]
    several = lambda photos: any(len(p["facePrints"]) >= 2 for p in photos)
    pair_dmax = cast_distance(pa["facePrints"], pb["facePrints"], several([pa]) and several([pb]))
    group_dmax = cast_distance(fa, fb, several(ga) and several(gb))
    print(f"   closest pair {os.path.basename(a)} / {os.path.basename(b)}: print d={d:.3f} "
          f"dt={abs(pb['captureDate'] - pa['captureDate']):.1f}s faces {pa['faceCount']}/{pb['faceCount']} "
          f"people {max(pa['faceCount'], pa['humanCount'])}/{max(pb['faceCount'], pb['humanCount'])} "
          f"side {pa['mainFaceSide']:.3f}/{pb['mainFaceSide']:.3f} face-print dmin={faces:.3f} "
          f"hair={fmt(hair)} torso={fmt(torso)} prints {len(pa['facePrints'])}/{len(pb['facePrints'])} "
          f"face-set dmax pair={pair_dmax:.3f} groups={group_dmax:.3f}")


def explain(truth, cull, rel, by_file, group_of, multi, recommended, bad_recommended, missing, extra):
    def values(f):
        if f not in by_file:
            return "absent"
        p = cull["photos"][by_file[f]]
        t = next(x for x in truth["photos"] if x["file"] == f)
        return (f"sharp={p['sharpness']:.1f} exp={p['exposure']:.2f} faces={p['faceCount']} "
                f"q={p['faceQuality']:.2f} eye={p['eyeOpen']:.2f} | {t.get('blurKind', 'blur')}="
                f"{t.get('motionLength') or t['blurSigma']:.2f}{' SUBJECT' if t.get('subjectBlurred') else ''} "
                f"gain={t['gain']:.2f}{' BAD' if t['badlyExposed'] else ''}{' KEEPER' if t['keeper'] else ''}")

    print(f"\n-- scenes split or joined (loose threshold {cull.get('threshold', 0):.3f}) --")
    for s in truth["scenes"]:
        groups = sorted({group_of.get(f, -1) for f in s["files"]})
        if len(groups) > 1:
            print(f"scene {s['id']} ({s['kind']}, {os.path.basename(s['source'])}) split into groups {groups}")
            closest_link(cull, by_file, group_of, s["files"])
    for g, group in enumerate(cull["groups"]):
        scenes = sorted({next((x["scene"] for x in truth["photos"] if x["file"] == rel[i]), -1)
                         for i in group["indices"]})
        if len(scenes) > 1:
            print(f"group {g} joins scenes {scenes}: {[rel[i] for i in group['indices']]}")
            scene_of = {x["file"]: x["scene"] for x in truth["photos"]}
            links = sorted((distance(cull["photos"][i]["featurePrint"], cull["photos"][j]["featurePrint"]),
                            abs(cull["photos"][i]["captureDate"] - cull["photos"][j]["captureDate"]), rel[i], rel[j])
                           for i in group["indices"] for j in group["indices"]
                           if scene_of.get(rel[i]) is not None and scene_of.get(rel[j]) is not None
                           and scene_of[rel[i]] < scene_of[rel[j]])
            if links:
                d, dt, a, b = links[0]
                pa, pb = cull["photos"][by_file[a]], cull["photos"][by_file[b]]
                print(f"   closest pair across scenes {os.path.basename(a)} / {os.path.basename(b)}: print d={d:.3f} "
                      f"dt={dt:.0f}s faces {pa['faceCount']}/{pb['faceCount']} people "
                      f"{max(pa['faceCount'], pa['humanCount'])}/{max(pb['faceCount'], pb['humanCount'])}")
    print("\n-- keeper not recommended --")
    for s in multi:
        if any(k in recommended for k in s["keepers"]):
            continue
        print(f"scene {s['id']} ({s['kind']}, {os.path.basename(s['source'])})")
        for f in s["files"]:
            g = group_of.get(f)
            mark = " <- recommended" if f in recommended else ""
            score = ""
            if g is not None:
                grp = cull["groups"][g]
                pos = grp["indices"].index(by_file[f])
                score = f"score={grp['scores'][pos]:.3f} g{g} {grp['reason']}"
            print(f"   {f}: {values(f)} {score}{mark}")
    print("\n-- badly exposed and recommended --")
    for f in bad_recommended:
        print(f"   {f}: {values(f)}")
    print("\n-- face-blurred or shaken and recommended --")
    for t in truth["photos"]:
        if t["file"] in recommended and t.get("blurKind") in ("face", "motion"):
            print(f"   {t['file']}: {values(t['file'])}")
    if missing or extra:
        print("\nmissing:", missing, "\nextra:", extra)


if __name__ == "__main__":
    sys.exit(main())
