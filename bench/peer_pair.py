"""The benchmark pair as the peers see it: both scans of a two-scan example survey
moved into the translated survey frame exactly as the batch program moves them
(p = Rz(a3) Ry(a2) Rx(a1) p + (X - TRANSX, Y - TRANSY, Z + 0.29), angles = database
degrees x 3.14159265 / 180), with the database headings, and written as binary PLY
(little-endian doubles), which both peers read quickly. Also the pair's facts that the
measurement needs: scanner positions, ZMIN and the true heading correction.

Usage: peer_pair.py SURVEY_DIR OUT_DIR   (writes scan1.ply, scan2.ply, pair.json)
"""
import json
import os
import sys

import numpy as np

DEG = 3.14159265 / 180.0


def settings(folder):
    keys = {}
    with open(os.path.join(folder, "ipcreg.txt")) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 2 and not line.startswith("#"):
                keys[fields[0]] = fields[1]
    return keys


def scan_matrix(a1, a2, a3):
    """Rz(a3) Ry(a2) Rx(a1), radians."""
    ca, sa, cb, sb, cg, sg = np.cos(a1), np.sin(a1), np.cos(a2), np.sin(a2), np.cos(a3), np.sin(a3)
    return np.array([[cg * cb, sb * sa * cg - sg * ca, sb * ca * cg + sg * sa],
                     [sg * cb, sb * sa * sg + cg * ca, sb * ca * sg - sa * cg],
                     [-sb, sa * cb, cb * ca]])


def read_survey(folder):
    """Per scan of survey.csv: its record, survey-frame points and scanner position."""
    keys = settings(folder)
    trans_x, trans_y = float(keys["TRANSX"]), float(keys["TRANSY"])
    truth = {}
    with open(os.path.join(folder, "truth.csv")) as f:
        for line in f.readlines()[1:]:
            fields = line.strip().split(",")
            truth[int(fields[0])] = float(fields[2])
    scans = []
    with open(os.path.join(folder, "survey.csv")) as f:
        for line in f.readlines()[1:]:
            fields = line.strip().split(",")
            x, y, z, a1, a2, a3 = (float(v) for v in fields[:6])
            id1, id2, name = int(fields[6]), int(fields[7]), fields[8]
            path = os.path.join(folder, "survey_%03d_%03d_%s.bxyz" % (id1, id2, name))
            local = np.fromfile(path, dtype="<f8").reshape(-1, 4)[:, :3]
            origin = np.array([x - trans_x, y - trans_y, z + 0.29])
            points = local @ scan_matrix(a1 * DEG, a2 * DEG, a3 * DEG).T + origin
            scans.append({"id": id1, "origin": origin, "points": points, "error": truth[id1]})
    return scans, float(keys["ZMIN"])


def write_ply(path, points):
    header = ("ply\nformat binary_little_endian 1.0\nelement vertex %d\n"
              "property double x\nproperty double y\nproperty double z\nend_header\n" % len(points))
    with open(path, "wb") as f:
        f.write(header.encode("ascii"))
        f.write(np.ascontiguousarray(points, dtype="<f8").tobytes())


def main():
    survey, out = sys.argv[1], sys.argv[2]
    scans, zmin = read_survey(survey)
    if len(scans) != 2:
        sys.exit("%s: a two-scan survey is needed" % survey)
    os.makedirs(out, exist_ok=True)
    for k, scan in enumerate(scans):
        write_ply(os.path.join(out, "scan%d.ply" % (k + 1)), scan["points"])
    facts = {
        "zmin": zmin,
        "origins": [scan["origin"].tolist() for scan in scans],
        # Correction of scan 2 relative to scan 1 that undoes the built-in errors, degrees.
        "true_relative_correction": -(scans[1]["error"] - scans[0]["error"]),
        "points": [len(scan["points"]) for scan in scans],
    }
    with open(os.path.join(out, "pair.json"), "w") as f:
        json.dump(facts, f, indent=1)


if __name__ == "__main__":
    main()
