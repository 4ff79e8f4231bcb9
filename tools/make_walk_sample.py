#!/usr/bin/env python3
"""Writes the bundled sample motion: a 22-joint humanoid walking along a curved path.

    python3 tools/make_walk_sample.py > examples/walk_curve.bvh
    python3 tools/make_walk_sample.py --contacts > examples/walk_curve_contacts.txt

The second writes when each foot stands on the ground: one line per contact, the foot's ankle
joint and the first and last frame (counted from 0) in which it stands still.

Uses only the standard library and is deterministic, so the committed file can be regenerated
byte for byte. Lengths are centimetres, y is up, the rest pose faces +z with the figure's left
on +x and the arms hanging, so every swing is a rotation about the joint's local x axis. The
feet are placed first, each standing flat and still on the ground for the stance part of every
step, and the legs are solved to reach them.
"""

import math
import sys

FPS = 30
FRAMES = 300  # 10 seconds
SPEED = 110.0  # cm per second along the path
STEP_PERIOD = 1.1  # seconds per full gait cycle (two steps)
HIP_HEIGHT = 87.5
BOB = 3.6  # cm; the hips are highest in the middle of each stance
STANCE = 0.55  # part of the gait cycle in which a foot stands
LIFT = 10.0  # cm the ankle rises in the middle of a swing
ANKLE_HEIGHT = 6.0  # the ankle above the ground when the foot stands flat
THIGH = 42.0
SHIN = 40.0
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


def root_ground(t):
    """The root's ground position at time t: an arc at SPEED, facing along its heading."""
    w = math.radians(HEADING_TURN / (FRAMES / FPS))
    h0 = math.radians(HEADING_START)
    h = math.radians(heading_deg(t))
    return (SPEED / w * (math.cos(h0) - math.cos(h)), SPEED / w * (math.sin(h) - math.sin(h0)))


def rot_x(a):
    c, s = math.cos(math.radians(a)), math.sin(math.radians(a))
    return ((1.0, 0.0, 0.0), (0.0, c, -s), (0.0, s, c))


def rot_y(a):
    c, s = math.cos(math.radians(a)), math.sin(math.radians(a))
    return ((c, 0.0, s), (0.0, 1.0, 0.0), (-s, 0.0, c))


def rot_z(a):
    c, s = math.cos(math.radians(a)), math.sin(math.radians(a))
    return ((c, -s, 0.0), (s, c, 0.0), (0.0, 0.0, 1.0))


def mul(a, b):
    return tuple(tuple(sum(a[r][k] * b[k][c] for k in range(3)) for c in range(3)) for r in range(3))


def apply(m, v):
    return tuple(sum(m[r][k] * v[k] for k in range(3)) for r in range(3))


def transpose(m):
    return tuple(tuple(m[c][r] for c in range(3)) for r in range(3))


def wrap(degrees):
    """The same angle within (-180, 180]."""
    return degrees - 360.0 * math.ceil((degrees - 180.0) / 360.0)


def zyx_angles(m):
    """Degrees (z, y, x) with m = Rz(z) Ry(y) Rx(x)."""
    y = math.asin(max(-1.0, min(1.0, -m[2][0])))
    x = math.atan2(m[2][1], m[2][2])
    z = math.atan2(m[1][0], m[0][0])
    return math.degrees(z), math.degrees(y), math.degrees(x)


def pelvis(t):
    """The root's position and rotation at time t."""
    phase = 2.0 * math.pi * t / STEP_PERIOD
    x, z = root_ground(t)
    y = HIP_HEIGHT + BOB * math.cos(2.0 * phase)
    twist = 5.0 * math.sin(phase)
    return (x, y, z), heading_deg(t) + twist, twist


def pelvis_rotation(yaw):
    return mul(rot_y(yaw), rot_x(4.0))


def socket(t, side_x):
    position, yaw, _ = pelvis(t)
    offset = apply(pelvis_rotation(yaw), (side_x, -4.0, 0.0))
    return tuple(position[i] + offset[i] for i in range(3))


# Each foot's stance is centred on these times (plus whole cycles): the left at 0, the right half
# a cycle later.
SIDES = (("Left", 9.0, 0.0), ("Right", -9.0, 0.5 * STEP_PERIOD))


def foothold(side_x, centre):
    """Where a foot stands for the stance centred at `centre`: flat, under its hip at that moment,
    pointing along the path."""
    s = socket(centre, side_x)
    return (s[0], ANKLE_HEIGHT, s[2]), heading_deg(centre)


def foot_at(t, side_x, first_centre):
    """The ankle's position and the foot's heading at time t, and the swing's progress (None in a
    stance)."""
    k = math.floor((t - first_centre) / STEP_PERIOD + 0.5)
    centre = first_centre + k * STEP_PERIOD
    half = 0.5 * STANCE * STEP_PERIOD
    if abs(t - centre) <= half:
        at, yaw = foothold(side_x, centre)
        return at, yaw, None
    # Swinging from the stance before to the one after.
    if t < centre:
        centre -= STEP_PERIOD
    start, start_yaw = foothold(side_x, centre)
    end, end_yaw = foothold(side_x, centre + STEP_PERIOD)
    u = (t - centre - half) / (STEP_PERIOD - 2.0 * half)
    e = u * u * (3.0 - 2.0 * u)
    at = (start[0] + e * (end[0] - start[0]), ANKLE_HEIGHT + LIFT * math.sin(math.pi * u),
          start[2] + e * (end[2] - start[2]))
    return at, start_yaw + e * (end_yaw - start_yaw), u


def solve_leg(t, side_x, first_centre):
    """Hip (z, y, x), knee and ankle (z, y, x) angles that put the ankle where the foot goes,
    with the knee bending forward along the foot, and the foot flat along its heading."""
    _, pelvis_yaw, _ = pelvis(t)
    r_pelvis = pelvis_rotation(pelvis_yaw)
    s = socket(t, side_x)
    ankle, foot_yaw, swing = foot_at(t, side_x, first_centre)
    d = apply(transpose(r_pelvis), tuple(ankle[i] - s[i] for i in range(3)))
    reach = math.sqrt(sum(c * c for c in d))
    assert reach < THIGH + SHIN - 0.5, "a foot out of the leg's reach at t=%g" % t
    cos_knee = (reach * reach - THIGH * THIGH - SHIN * SHIN) / (2.0 * THIGH * SHIN)
    knee = math.degrees(math.acos(max(-1.0, min(1.0, cos_knee))))
    # The leg with the knee bent, in the hip's frame, before the hip turns it.
    v = (0.0, -THIGH - SHIN * math.cos(math.radians(knee)), -SHIN * math.sin(math.radians(knee)))
    b = foot_yaw - pelvis_yaw
    z1 = d[2] / math.cos(math.radians(b))
    y1 = -math.sqrt(max(0.0, v[1] * v[1] + v[2] * v[2] - z1 * z1))
    x2 = math.sin(math.radians(b)) * z1
    a = wrap(math.degrees(math.atan2(d[1], d[0]) - math.atan2(y1, x2)))
    c = wrap(math.degrees(math.atan2(z1, y1) - math.atan2(v[2], v[1])))
    hip = (a, b, c)
    r_hip = mul(mul(rot_z(a), rot_y(b)), rot_x(c))
    parent = mul(mul(r_pelvis, r_hip), rot_x(knee))
    ankle_angles = zyx_angles(mul(transpose(parent), rot_y(foot_yaw)))
    toe = 0.0 if swing is None else -15.0 * math.sin(math.pi * swing)
    return hip, knee, ankle_angles, toe


def frame_values(i):
    t = i / FPS
    phase = 2.0 * math.pi * t / STEP_PERIOD
    (root_x, root_y, root_z), yaw, pelvis_twist = pelvis(t)
    values = {}
    values["Hips"] = (root_x, root_y, root_z, 0.0, yaw, 4.0)
    bob = root_y - HIP_HEIGHT
    # The chest turns against the pelvis, which makes the arms' counter-swing read naturally.
    values["Spine"] = (0.0, -0.4 * pelvis_twist, -1.0)
    values["Spine1"] = (1.5 * math.sin(phase), -0.4 * pelvis_twist, 0.0)
    values["Spine2"] = (0.0, -0.4 * pelvis_twist, 1.0)
    values["Neck"] = (0.0, 0.6 * pelvis_twist, 2.0)
    values["Head"] = (0.0, 0.2 * pelvis_twist, -3.0 - 0.8 * bob)
    for side, side_x, first_centre in SIDES:
        hip, knee, ankle, toe = solve_leg(t, side_x, first_centre)
        values[side + "UpLeg"] = hip
        values[side + "Leg"] = (0.0, 0.0, knee)
        values[side + "Foot"] = ankle
        values[side + "ToeBase"] = (0.0, 0.0, toe)
        # Each arm swings against the leg on its own side: forward while that leg is back.
        arm = -0.8 * hip[2]
        sign = 1.0 if side == "Left" else -1.0
        values[side + "Shoulder"] = (0.0, 0.0, 0.0)
        values[side + "Arm"] = (sign * 6.0, 0.0, arm)
        values[side + "ForeArm"] = (0.0, 0.0, -18.0 + 0.5 * arm)
        values[side + "Hand"] = (0.0, 0.0, -5.0)
    row = []
    for name, _, _ in SKELETON:
        row.extend(values[name])
    return row


def contacts():
    """Each foot's stances as (ankle joint, first frame, last frame), in time order."""
    lines = []
    half = 0.5 * STANCE * STEP_PERIOD
    for side, _, first_centre in SIDES:
        standing = [abs((i / FPS - first_centre) - STEP_PERIOD *
                        math.floor((i / FPS - first_centre) / STEP_PERIOD + 0.5)) <= half
                    for i in range(FRAMES)]
        i = 0
        while i < FRAMES:
            if standing[i]:
                first = i
                while i + 1 < FRAMES and standing[i + 1]:
                    i += 1
                lines.append("%sFoot %d %d" % (side, first, i))
            i += 1
    return lines


def main():
    if sys.argv[1:] == ["--contacts"]:
        sys.stdout.write("\n".join(contacts()) + "\n")
        return
    out = ["HIERARCHY", "ROOT Hips"]
    write_joint(out, "Hips", SKELETON[0][2], 0)
    out.append("MOTION")
    out.append("Frames: %d" % FRAMES)
    out.append("Frame Time: %.6f" % (1.0 / FPS))
    for i in range(FRAMES):
        out.append(" ".join("%.4f" % v for v in frame_values(i)))
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
