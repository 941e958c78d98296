#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes examples/study: three sections of one strained sample.

Each marker is a grain, an ellipsoid with a random initial shape and
orientation, strained by the ellipsoid X : Y : Z = 2.2 : 1.3 : 1/2.86
(XYZ = 1) whose X axis trends 060 and plunges 20. Each section cuts every
grain through its centre, as a saw cut through a rock would cut the grains
it passes; the section's markers are those cuts, written as the major and
minor axes and the angle of the major axis from the section's reference
line, counter-clockwise as the viewer of the section sees it.
"""
import json
import math
import os
import random
import re

import numpy as np

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                    "examples", "study")


def axis(trend, plunge):
    t, p = math.radians(trend), math.radians(plunge)
    return np.array([math.sin(t) * math.cos(p), math.cos(t) * math.cos(p),
                     -math.sin(p)])


def strain():
    x = axis(60, 20)
    y = np.cross(x, axis(150, 0))
    y /= np.linalg.norm(y)
    z = np.cross(x, y)
    frame = np.column_stack([x, y, z])
    stretches = np.diag([2.2, 1.3, 1 / (2.2 * 1.3)])
    return frame @ stretches @ frame.T


def random_rotation(rng):
    q = np.array([rng.gauss(0, 1) for _ in range(4)])
    a, b, c, d = q / np.linalg.norm(q)
    return np.array([
        [a*a + b*b - c*c - d*d, 2*(b*c - a*d), 2*(b*d + a*c)],
        [2*(b*c + a*d), a*a - b*b + c*c - d*d, 2*(c*d - a*b)],
        [2*(b*d - a*c), 2*(c*d + a*b), a*a - b*b - c*c + d*d]])


def section(name, normal, reference, count, seed, f):
    rng = random.Random(seed)
    n = np.array(normal, float)
    n /= np.linalg.norm(n)
    u = np.array(reference, float)
    u /= np.linalg.norm(u)
    v = np.cross(n, u)
    plane = np.column_stack([u, v])
    lines = []
    for _ in range(count):
        size = math.exp(rng.gauss(0, 0.3))
        ri = math.exp(abs(rng.gauss(0, 0.25)))
        r = random_rotation(rng)
        shape = r @ np.diag([size * ri, size, size / ri**0.5]) ** 2 @ r.T
        strained = f @ shape @ f.T
        q = plane.T @ np.linalg.inv(strained) @ plane
        w, e = np.linalg.eigh(q)
        major = 1 / math.sqrt(w[0])
        minor = 1 / math.sqrt(w[1])
        phi = math.degrees(math.atan2(e[1, 0], e[0, 0]))
        if phi > 90:
            phi -= 180
        if phi <= -90:
            phi += 180
        lines.append(f"{major:.3f} {minor:.3f} {phi:.2f}")
    with open(os.path.join(HERE, name + ".txt"), "w") as out:
        out.write("\n".join(lines) + "\n")


def main():
    os.makedirs(HERE, exist_ok=True)
    f = strain()
    section("ew", [0, -1, 0], [1, 0, 0], 120, 11, f)
    section("ns", [1, 0, 0], [0, 1, 0], 120, 12, f)
    section("level", [0, 0, 1], [1, 0, 0], 120, 13, f)
    study = {
        "name": "Example HT-17",
        "sections": [
            {"name": "E-W vertical", "source": "ew.txt",
             "normal": [0, -1, 0], "reference": [1, 0, 0]},
            {"name": "N-S vertical", "source": "ns.txt",
             "strike": 0, "dip": 90, "reference_rake": 0},
            {"name": "Level", "source": "level.txt",
             "normal": [0, 0, 1], "reference": [1, 0, 0]},
        ],
    }
    text = json.dumps(study, indent=2)
    # Vectors on one line each, as people write them.
    text = re.sub(r"\[\s+([^\[\]{}]*?)\s+\]",
                  lambda m: "[" + ", ".join(m.group(1).split(",\n")).replace(
                      " ", "").replace(",", ", ") + "]", text)
    with open(os.path.join(HERE, "study.json"), "w") as out:
        out.write(text + "\n")


if __name__ == "__main__":
    main()
