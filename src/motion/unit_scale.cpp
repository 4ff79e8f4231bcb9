#include "motion/unit_scale.h"

#include <charconv>

#include "motion/motion.h"

namespace {

// The shortest text that reads back as the same number, the height in the float it is measured
// in.
template <typename Number>
std::string numberText(Number v) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end.ptr);
}

std::string heightText(double height) {
    return numberText(static_cast<float>(height));
}

}  // namespace

UnitScale unitScaleOf(const Motion& motion, std::optional<double> given) {
    UnitScale scale;
    scale.height = motion.height();
    if (given) {
        scale.metresPerUnit = *given;
        scale.basis = UnitScale::Basis::Given;
    } else if (scale.height >= kCentimetreHeightMin && scale.height <= kCentimetreHeightMax) {
        scale.metresPerUnit = 0.01;
        scale.basis = UnitScale::Basis::Centimetres;
    } else if (scale.height >= kMetreHeightMin && scale.height <= kMetreHeightMax) {
        scale.metresPerUnit = 1.0;
        scale.basis = UnitScale::Basis::Metres;
    }
    return scale;
}

std::string unitScaleText(const UnitScale& scale) {
    const std::string tall = "the figure is " + heightText(scale.height) + " units tall";
    const std::string value = numberText(scale.metresPerUnit) + " (";
    switch (scale.basis) {
        case UnitScale::Basis::Given:
            return value + "given)";
        case UnitScale::Basis::Centimetres:
            return value + tall + ": centimetres)";
        case UnitScale::Basis::Metres:
            return value + tall + ": metres)";
        case UnitScale::Basis::Unknown:
            break;
    }
    return value + tall + ": no unit recognised, kept as metres)";
}

std::string unitScaleNote(const UnitScale& scale) {
    if (scale.basis != UnitScale::Basis::Unknown) {
        return "";
    }
    return "Note in glTF file output: the figure is " + heightText(scale.height) +
           " units tall, neither centimetres (100 to 250) nor metres (1 to 2.5), so a unit is "
           "written as a metre (bvhpath export --unit-scale sets another scale)";
}
