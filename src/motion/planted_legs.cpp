#include "motion/planted_legs.h"

void PlantedLegs::apply(int frame, float* row) const {
    if (empty() || frame < 0 || static_cast<std::size_t>(frame) >= rootDrop.size()) {
        return;
    }
    const float* v = values.data() + columns.size() * static_cast<std::size_t>(frame);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        row[columns[k]] = v[k];
    }
}

bool PlantedLegs::footHeld(int frame, int foot) const {
    return frame >= 0 && static_cast<std::size_t>(frame) < held.size() && foot >= 0 && foot < 8 &&
           (held[static_cast<std::size_t>(frame)] >> foot & 1u) != 0;
}

float PlantedLegs::dropAt(int frame) const {
    return frame >= 0 && static_cast<std::size_t>(frame) < rootDrop.size()
               ? rootDrop[static_cast<std::size_t>(frame)]
               : 0.0f;
}
