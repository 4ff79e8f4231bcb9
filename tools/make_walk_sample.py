#!/usr/bin/env python3
"""Writes the bundled sample motion: a 22-joint humanoid walking along a curved path.

    python3 tools/make_walk_sample.py > examples/walk_curve.bvh

Uses only the standard library and is deterministic, so the committed file can be regenerated
byte for byte. Lengths are centimetres, y is up, the rest pose faces +z with the figure's left
on +x and the arms hanging, so every swing is a rotation about the joint's local x axis.
"""

import math
import sys

FPS = 30
FRAMES = 300  # 10 seconds
SPEED = 110.0  # cm per second along the path
STEP_PERIOD = 1.1  # seconds per full gait cycle (two steps)
HIP_HEIGHT = 92.0
HEADING_START = -40.0  # degrees; the path turns steadily left by HEADING_TURN over the walk
HEADING_TURN = 160.0

# (name, parent, offset); the leaf joints get an End Site offset in END_SITES.
SKELETON = [
    ("Hips", None, (0.0, 0.0, 0.0)),
    ("Spine", "Hips", (0.0, 10.0, 0.0)),
    ("Spine1", "Spine", (0.0, 12.0, 0.0)),
    ("Spine2", "Spine1", (0.0, 12.0, 0.0)),
    ("Neck", "Spine2", (0.0, 16.0, 0.0)),
    ("Head", "Neck", (0.0, 9.0, 1.0)),
    ("LeftShoulder", "Spine2", (3.0, 12.0, 0.0)),
    ("LeftArm", "LeftShoulder", (15.0, 0.0, 0.0)),
    ("LeftForeArm", "LeftArm", (0.0, -29.0, 0.0)),
    ("LeftHand", "LeftForeArm", (0.0, -25.0, 0.0)),
    ("RightShoulder", "Spine2", (-3.0, 12.0, 0.0)),
    ("RightArm", "RightShoulder", (-15.0, 0.0, 0.0)),
    ("RightForeArm", "RightArm", (0.0, -29.0, 0.0)),
    ("RightHand", "RightForeArm", (0.0, -25.0, 0.0)),
    ("LeftUpLeg", "Hips", (9.0, -4.0, 0.0)),
    ("LeftLeg", "LeftUpLeg", (0.0, -42.0, 0.0)),
    ("LeftFoot", "LeftLeg", (0.0, -40.0, 0.0)),
    ("LeftToeBase", "LeftFoot", (0.0, -6.0, 13.0)),
    ("RightUpLeg", "Hips", (-9.0, -4.0, 0.0)),
    ("RightLeg", "RightUpLeg", (0.0, -42.0, 0.0)),
    ("RightFoot", "RightLeg", (0.0, -40.0, 0.0)),
    ("RightToeBase", "RightFoot", (0.0, -6.0, 13.0)),
]
END_SITES = {
    "Head": (0.0, 17.0, 0.0),
    "LeftHand": (0.0, -16.0, 0.0),
    "RightHand": (0.0, -16.0, 0.0),
    "LeftToeBase": (0.0, 0.0, 6.0),
    "RightToeBase": (0.0, 0.0, 6.0),
}


def children(name):
    return [j[0] for j in SKELETON if j[1] == name]


def write_joint(out, name, offset, depth):
    tabs = "\t" * depth
    out.append("%s{" % tabs)
    out.append("%s\tOFFSET %.4f %.4f %.4f" % ((tabs,) + offset))
    if depth == 0:
        out.append("\tCHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation")
    else:
        out.append("%s\tCHANNELS 3 Zrotation Yrotation Xrotation" % tabs)
    for child in children(name):
        child_offset = next(j[2] for j in SKELETON if j[0] == child)
        out.append("%s\tJOINT %s" % (tabs, child))
        write_joint(out, child, child_offset, depth + 1)
    if name in END_SITES:
        out.append("%s\tEnd Site" % tabs)
        out.append("%s\t{" % tabs)
        out.append("%s\t\tOFFSET %.4f %.4f %.4f" % ((tabs,) + END_SITES[name]))
        out.append("%s\t}" % tabs)
    out.append("%s}" % tabs)


def heading_deg(t):
    return HEADING_START + HEADING_TURN * t / (FRAMES / FPS)


def leg_angles(phase):
    """Hip, knee, ankle rotations about x for one leg; phase 0 is the leg at its rearmost."""
    # Negative x rotation swings a hanging limb forward (+z).
    hip = -22.0 * math.sin(phase - math.pi / 2)
    # The knee bends most early in the swing, while the hip moves forward, and stays soft in
    # stance.
    swing = max(0.0, math.sin(phase))
    knee = 6.0 + 55.0 * swing**2
    ankle = -0.35 * hip - 0.4 * knee * swing + 4.0 * math.sin(phase + 0.6)
    return hip, knee, ankle


def frame_values(i, root_x, root_z):
    t = i / FPS
    phase = 2.0 * math.pi * t / STEP_PERIOD
    heading = heading_deg(t)
    pelvis_twist = 5.0 * math.sin(phase)
    values = {}
    bob = 2.2 * math.cos(2.0 * phase)
    values["Hips"] = (root_x, HIP_HEIGHT + bob, root_z, 0.0, heading + pelvis_twist, 4.0)
    # The chest turns against the pelvis, which makes the arms' counter-swing read naturally.
    values["Spine"] = (0.0, -0.4 * pelvis_twist, -1.0)
    values["Spine1"] = (1.5 * math.sin(phase), -0.4 * pelvis_twist, 0.0)
    values["Spine2"] = (0.0, -0.4 * pelvis_twist, 1.0)
    values["Neck"] = (0.0, 0.6 * pelvis_twist, 2.0)
    values["Head"] = (0.0, 0.2 * pelvis_twist, -3.0 - 0.8 * bob)
    for side, offset, sign in (("Left", 0.0, 1.0), ("Right", math.pi, -1.0)):
        leg_phase = phase + offset
        hip, knee, ankle = leg_angles(leg_phase)
        values[side + "UpLeg"] = (sign * 2.0 * math.cos(leg_phase), 0.0, hip)
        values[side + "Leg"] = (0.0, 0.0, knee)
        values[side + "Foot"] = (0.0, 0.0, ankle)
        # The toes bend up as the heel lifts at push-off, with the leg at its rearmost.
        values[side + "ToeBase"] = (0.0, 0.0, -15.0 * max(0.0, math.cos(leg_phase)) ** 3)
        # Each arm swings with the opposite leg: forward when that leg is forward.
        arm = 18.0 * math.sin(leg_phase - math.pi / 2)
        values[side + "Shoulder"] = (0.0, 0.0, 0.0)
        values[side + "Arm"] = (sign * 6.0, 0.0, arm)
        values[side + "ForeArm"] = (0.0, 0.0, -18.0 + 0.5 * arm)
        values[side + "Hand"] = (0.0, 0.0, -5.0)
    row = []
    for name, _, _ in SKELETON:
        row.extend(values[name])
    return row


def main():
    out = ["HIERARCHY", "ROOT Hips"]
    write_joint(out, "Hips", SKELETON[0][2], 0)
    out.append("MOTION")
    out.append("Frames: %d" % FRAMES)
    out.append("Frame Time: %.6f" % (1.0 / FPS))
    x, z = 0.0, 0.0
    dt = 1.0 / FPS
    for i in range(FRAMES):
        out.append(" ".join("%.4f" % v for v in frame_values(i, x, z)))
        # Midpoint step along the heading, so the root follows the curve it faces along.
        h = math.radians(heading_deg((i + 0.5) * dt))
        x += SPEED * dt * math.sin(h)
        z += SPEED * dt * math.cos(h)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
