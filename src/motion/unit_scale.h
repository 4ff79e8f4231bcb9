#pragma once

#include <optional>
#include <string>

class Motion;

// How many metres one unit of a motion file is, for a glTF export (glTF's unit is the metre).
//
// The rule: a scale the user gives is taken as it is. Otherwise it follows from the figure's
// height, its extent along the up axis at frame 0 (Motion::height()): 100 to 250 units is a
// person measured in centimetres (0.01 metres a unit), 1 to 2.5 units one measured in metres
// (1 metre a unit). Any other height says nothing certain about the unit (inches, a child, a
// giant, a hand alone), so the file's numbers are kept as metres and the export says so in a
// note.
struct UnitScale {
    enum class Basis { Given, Centimetres, Metres, Unknown };

    double metresPerUnit = 1.0;
    Basis basis = Basis::Unknown;
    double height = 0.0;  // the figure's height at frame 0, in file units
};

// Bounds of the heights the rule recognises, in file units, both ends included.
constexpr double kCentimetreHeightMin = 100.0;
constexpr double kCentimetreHeightMax = 250.0;
constexpr double kMetreHeightMin = 1.0;
constexpr double kMetreHeightMax = 2.5;

// The scale for the motion: `given` (metres a unit) when set, else the one the rule picks.
UnitScale unitScaleOf(const Motion& motion, std::optional<double> given = std::nullopt);

// The scale and why, as `info` prints it after "glTF unit scale: ": "0.01 (the figure is 172.5
// units tall: centimetres)".
std::string unitScaleText(const UnitScale& scale);

// For a scale the rule could not settle, the note an export gives ("Note in glTF file output:
// ..."); empty for the others.
std::string unitScaleNote(const UnitScale& scale);
