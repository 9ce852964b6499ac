"""One measurement for every method on the benchmark pair (see peer_pair.py).

Each method's result becomes one rigid transform of scan 2 with scan 1 held still: a
4x4 matrix from a peer as it is; the batch program's two heading corrections (degrees,
each about the vertical through its own scanner) as scan 1's correction undone and
scan 2's applied. Then:
- heading left over: the yaw of that transform, atan2(R[1][0], R[0][0]), minus the
  true relative correction (yaw does not depend on the centre of rotation);
- final RMS: point-to-plane RMS of the moved scan 2 against scan 1. Each scan 2 point
  above ZMIN (the cliff, not the beach) takes its nearest scan 1 point if that lies
  within 0.1 m; its distance is measured along scan 1's normal there (the normal of
  the 20 nearest scan 1 points). Pairs: how many points were measured.
Rows for the scans as surveyed and at the true heading come first, for reference.

Usage: pair_measure.py PLY_DIR RESULT...
  RESULT: matrix:NAME:FILE (4x4, moves scan 2)  or  rotations:NAME:ROT1:ROT2 (degrees)
Prints one line per row: NAME<TAB>LEFT_OVER_DEG<TAB>RMS_M<TAB>PAIRS
"""
import json
import math
import os
import sys

import numpy as np
import open3d as o3d
from scipy.spatial import cKDTree

WITHIN = 0.1      # metres, farthest partner that counts
NEIGHBOURS = 20   # points of scan 1 that give its normal


def read_ply(path):
    with open(path, "rb") as f:
        count = 0
        while True:
            line = f.readline().decode("ascii").strip()
            if line.startswith("element vertex"):
                count = int(line.split()[2])
            if line == "end_header":
                break
        return np.frombuffer(f.read(count * 24), dtype="<f8").reshape(-1, 3).copy()


def about_vertical(degrees, centre):
    """4x4 turn by `degrees` counter-clockwise about the vertical through centre (x, y)."""
    a = math.radians(degrees)
    c, s = math.cos(a), math.sin(a)
    t = np.identity(4)
    t[:2, :2] = [[c, -s], [s, c]]
    t[0, 3] = centre[0] - c * centre[0] + s * centre[1]
    t[1, 3] = centre[1] - s * centre[0] - c * centre[1]
    return t


def yaw_degrees(t):
    return math.degrees(math.atan2(t[1, 0], t[0, 0]))


def measure(t, scan2, zmin, tree, normals, scan1):
    moved = scan2 @ t[:3, :3].T + t[:3, 3]
    moved = moved[moved[:, 2] > zmin]
    distance, index = tree.query(moved, k=1, distance_upper_bound=WITHIN, workers=2)
    near = np.isfinite(distance)
    offsets = moved[near] - scan1[index[near]]
    along = np.einsum("ij,ij->i", offsets, normals[index[near]])
    return math.sqrt(float(np.mean(along * along))) if len(along) else float("nan"), int(near.sum())


def main():
    folder = sys.argv[1]
    with open(os.path.join(folder, "pair.json")) as f:
        facts = json.load(f)
    scan1 = read_ply(os.path.join(folder, "scan1.ply"))
    scan2 = read_ply(os.path.join(folder, "scan2.ply"))
    cloud = o3d.geometry.PointCloud(o3d.utility.Vector3dVector(scan1))
    cloud.estimate_normals(o3d.geometry.KDTreeSearchParamKNN(knn=NEIGHBOURS))
    normals = np.asarray(cloud.normals)
    tree = cKDTree(scan1)
    origin1, origin2 = facts["origins"]
    truth = facts["true_relative_correction"]
    rows = [("as surveyed", np.identity(4)), ("true heading", about_vertical(truth, origin2))]
    for result in sys.argv[2:]:
        kind, name, *values = result.split(":")
        if kind == "matrix":
            rows.append((name, np.loadtxt(values[0]).reshape(4, 4)))
        else:
            rot1, rot2 = float(values[0]), float(values[1])
            rows.append((name, about_vertical(-rot1, origin1) @ about_vertical(rot2, origin2)))
    for name, t in rows:
        rms, pairs = measure(t, scan2, facts["zmin"], tree, normals, scan1)
        left = (yaw_degrees(t) - truth + 180.0) % 360.0 - 180.0
        print("%s\t%+.4f\t%.4f\t%d" % (name, left, rms, pairs))


if __name__ == "__main__":
    main()
