#pragma once

#include <optional>
#include <string>
#include <vector>

#include "motion/result.h"

class Motion;

// One leg as the planting turns it, by joint index (joints() order): the joint at the top of the
// thigh, the knee, the ankle, and the ankle's child towards the lowest end below it (-1 where the
// ankle ends the chain). Joints between hip and knee or knee and ankle that lie on the bone
// (twists) keep their own rotations.
struct LegChain {
    int hip = -1;
    int knee = -1;
    int ankle = -1;
    int toe = -1;
};

// Frames [first, last] in which a foot stands on the ground.
struct Contact {
    int first = 0;
    int last = 0;
};

// A foot of the figure and when it touches the ground, found on the unedited motion.
struct Foot {
    LegChain leg;
    std::vector<Contact> contacts;
};

// The figure's feet, named or not: the two end chains with a leg above them that hang down
// along the up axis from the hips, the lowest in the rest pose and in the capture, with no joint
// in common, in the skeleton's order; none where no such pair exists. The hips are where the two
// legs meet: the skeleton's first branch, or a joint below it carrying nothing but the two legs.
// A leg hangs down from them where its ankle lies on average well below them and none of its
// joints ever reaches above them, which no arm does (it starts above the hips or reaches above
// them raised) and no leg of a figure read on its side does (it points across).
std::vector<LegChain> findLegs(const Motion& motion);

// The joints of a leg's foot: its ankle and every joint below it, in joints() order (none for
// an ankle outside the skeleton).
std::vector<int> footJoints(const Motion& motion, const LegChain& leg);

// The legs whose ankles have these names (exactly, as in the file), in this order. The leg that
// ends in an ankle: the knee is the first joint above it where the limb bends (in some frame),
// the hip the joint above the knee where the thigh begins, and all three have three rotations
// about different axes (which the planting needs to turn them any way). A name that is no
// joint, no ankle of such a leg, or a leg sharing a joint with one named before it, is a failure
// that says so.
Result legsNamed(const Motion& motion, const std::vector<std::string>& ankles,
                 std::vector<LegChain>& legs);
// The legs of the feet: those whose ankles have these names, or those findLegs finds when no
// name is given (a failure that says so, and how to choose them, when it finds none).
Result legsOf(const Motion& motion, const std::vector<std::string>& ankles,
              std::vector<LegChain>& legs);
// The ankles' names in a text such as "LEFT,RIGHT" (the command line's --feet, the window's
// question): separated by commas, blanks around a name ignored; an empty text names none (the
// feet are then found automatically), an empty name between commas is a failure.
Result ankleNames(const std::string& text, std::vector<std::string>& names);

// When each leg's foot stands on the ground: the ankle or the toe near its own lowest height and
// nearly still (thresholds in figure heights and per second), with hysteresis, short breaks
// joined and short touches dropped. On the motion as the file gives it.
std::vector<Foot> findContacts(const Motion& motion, const std::vector<LegChain>& legs);
