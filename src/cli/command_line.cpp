#include "cli/command_line.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

#include <unistd.h>

#include <cstdio>

#include "document/document.h"
#include "document/path_bend.h"
#include "document/path_edit.h"
#include "editing/ground_transform.h"
#include "feet/foot_contacts.h"
#include "feet/foot_skate.h"
#include "motion/gltf_export.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/progress.h"
#include "motion/reading.h"
#include "motion/result.h"
#include "motion/save_motion.h"
#include "motion/unit_scale.h"

const char* const kWindowUsage = "usage: bvhpath [FILE.bvh]  (opens FILE.bvh, or starts empty)\n";

const char* const kHelpText =
    "usage: bvhpath [FILE.bvh]  (opens FILE.bvh, or starts empty)\n"
    "       bvhpath info FILE  (frames, frame time, joints, channels, reading, duration, path)\n"
    "       bvhpath check FILE...  (FILE: OK, or why it does not load; status 1 if any fails)\n"
    "       bvhpath convert IN OUT [--up-axis y|z] [--position-channels add|replace]\n"
    "       bvhpath edit IN OUT --move K DX DZ [--move K DX DZ]... [--falloff R] [--plant-feet]\n"
    "         [--feet LEFT,RIGHT] [--keep-speed]  (moves control point K of the path by DX, DZ\n"
    "         along the ground axes, each --move in turn as successive drags would, retimed to\n"
    "         keep the capture's ground speed with --keep-speed, and saves)\n"
    "         [--turn DEG [--about K|X,Z]] [--shift DX DZ] [--scale F [--about K|X,Z]]\n"
    "         (turns, shifts or scales the whole path about control point 0 or the pivot;\n"
    "         the moves and transforms apply in the order given)\n"
    "       bvhpath export IN OUT.glb|OUT.gltf [edit's options, --move optional] [--unit-scale F]\n"
    "         (glTF 2.0 as drawn: Y up, F metres a unit, by default from the figure's height)\n"
    "       info, convert, edit, export and skate take --detail FRAMES: a control point every\n"
    "         FRAMES frames (50 unless given, at least 4)\n"
    "       bvhpath skate FILE [REFERENCE] [--feet LEFT,RIGHT]  (foot skate in figure heights per\n"
    "         second, over the frames where the feet of REFERENCE, or FILE, stand still)\n"
    "       each subcommand also takes --read-up-axis y|z and --read-position-channels "
    "add|replace,\n"
    "       which override what is detected in the file\n";

namespace {

struct UpAxisWord {
    const char* word;
    UpAxis axis;
};
constexpr UpAxisWord kUpAxisWords[] = {{"y", UpAxis::Y}, {"z", UpAxis::Z}};

struct PositionChannelsWord {
    const char* word;
    const char* description;
    PositionChannels reading;
};
constexpr PositionChannelsWord kPositionChannelsWords[] = {
    {"add", "offset plus value", PositionChannels::OffsetPlusValue},
    {"replace", "value replaces offset", PositionChannels::ValueReplacesOffset},
};

const char* wordOf(UpAxis axis) {
    for (const UpAxisWord& w : kUpAxisWords) {
        if (w.axis == axis) {
            return w.word;
        }
    }
    return "y";
}

const char* descriptionOf(PositionChannels reading) {
    for (const PositionChannelsWord& w : kPositionChannelsWords) {
        if (w.reading == reading) {
            return w.description;
        }
    }
    return "offset plus value";
}

// Progress of a load or save on standard error, as "reading walk.bvh: 42%" rewritten in place,
// when standard error is a terminal; nothing otherwise, so scripts and logs get no noise.
class TerminalProgress {
  public:
    explicit TerminalProgress(const std::string& what) : what_(what) {
        if (isatty(STDERR_FILENO)) {
            progress_.setListener([this](double fraction) { show(fraction); });
        }
    }
    ~TerminalProgress() {
        if (shown_ >= 0) {
            std::fputs("\r\033[K", stderr);  // the line goes once the work is over
            std::fflush(stderr);
        }
    }
    Progress* get() { return &progress_; }

  private:
    void show(double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (percent == shown_) {
            return;
        }
        shown_ = percent;
        std::fprintf(stderr, "\r%s: %d%%", what_.c_str(), percent);
        std::fflush(stderr);
    }

    std::string what_;
    Progress progress_;
    int shown_ = -1;
};

// A whole-path transform of edit: --turn DEG, --shift DX DZ or --scale F (along the file's
// ground axes), about control point `pivotPoint` or, after --about X,Z, the ground point there.
// It applies after the first `movesBefore` moves, as it came after them on the command line.
struct PathTransform {
    GroundTransform::Kind kind = GroundTransform::Shift;
    double a = 0.0;  // degrees, DX or the factor
    double b = 0.0;  // DZ
    int pivotPoint = 0;
    bool pivotAtPoint = true;
    double pivotX = 0.0;
    double pivotZ = 0.0;
    int movesBefore = 0;
};

// What a subcommand's command line says: its files and the options it was given.
struct Arguments {
    std::vector<std::string> files;
    LoadOptions reading;
    SaveOptions output;
    bool help = false;
    // edit's moves, in order: each of one control point by a displacement along the file's ground
    // axes (world units)
    struct Move {
        int point = 0;
        double dx = 0.0;
        double dz = 0.0;
    };
    std::vector<Move> moves;
    double falloff = 0.0;
    bool plantFeet = false;
    bool keepSpeed = false;
    std::vector<std::string> feet;               // ankle names; empty: found automatically
    std::optional<double> unitScale;             // export's metres a file unit
    int detail = RootPath::kDefaultBlockLength;  // frames per control point
    std::vector<PathTransform> transforms;       // edit's --turn, --shift, --scale in order
};

// Which options a subcommand takes beside the reading options.
enum OptionSet : unsigned {
    kOutputOptions = 1u,
    kEditOptions = 2u,
    kFeetOption = 4u,
    kUnitScaleOption = 8u,
    kDetailOption = 16u,
};

bool numberFrom(const std::string& text, double& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    value = std::strtod(begin, &end);
    return !text.empty() && end == begin + text.size() && std::isfinite(value);
}

Result setMove(const std::vector<std::string>& args, std::size_t& i, Arguments& parsed) {
    const Result bad =
        Result::failure("bvhpath: --move takes K DX DZ (a control point and two numbers)");
    if (i + 3 >= args.size()) {
        return bad;
    }
    double k = 0.0;
    Arguments::Move move;
    if (!numberFrom(args[i + 1], k) || k != std::floor(k) || k < 0.0 || k > 1e9 ||
        !numberFrom(args[i + 2], move.dx) || !numberFrom(args[i + 3], move.dz)) {
        return bad;
    }
    move.point = static_cast<int>(k);
    parsed.moves.push_back(move);
    i += 3;
    return Result::success();
}

// --turn DEG, --shift DX DZ, --scale F, and --about K|X,Z for the turn or scale before it.
Result setTransform(const std::vector<std::string>& args, std::size_t& i, Arguments& parsed) {
    const std::string& arg = args[i];
    const auto value = [&](std::size_t k, double& into) {
        return i + k < args.size() && numberFrom(args[i + k], into);
    };
    if (arg == "--about") {
        const Result bad =
            Result::failure("bvhpath: --about takes K or X,Z after --turn or --scale");
        if (parsed.transforms.empty() || parsed.transforms.back().kind == GroundTransform::Shift ||
            i + 1 >= args.size()) {
            return bad;
        }
        PathTransform& t = parsed.transforms.back();
        const std::string& text = args[++i];
        const std::size_t comma = text.find(',');
        double k = 0.0;
        if (comma == std::string::npos) {
            t.pivotAtPoint = true;
            if (!numberFrom(text, k) || k != std::floor(k) || k < 0.0 || k > 1e9) {
                return bad;
            }
            t.pivotPoint = static_cast<int>(k);
            return Result::success();
        }
        t.pivotAtPoint = false;
        return numberFrom(text.substr(0, comma), t.pivotX) &&
                       numberFrom(text.substr(comma + 1), t.pivotZ)
                   ? Result::success()
                   : bad;
    }
    PathTransform t;
    t.movesBefore = static_cast<int>(parsed.moves.size());
    bool good = false;
    if (arg == "--turn") {
        t.kind = GroundTransform::Turn;
        good = value(1, t.a);
        i += 1;
    } else if (arg == "--scale") {
        t.kind = GroundTransform::Scale;
        good = value(1, t.a) && t.a > 0.0;
        i += 1;
    } else {
        t.kind = GroundTransform::Shift;
        good = value(1, t.a) && value(2, t.b);
        i += 2;
    }
    if (!good) {
        return Result::failure(arg == "--turn"    ? "bvhpath: --turn takes an angle in degrees"
                               : arg == "--scale" ? "bvhpath: --scale takes a factor above 0"
                                                  : "bvhpath: --shift takes DX DZ (two numbers)");
    }
    parsed.transforms.push_back(t);
    return Result::success();
}

Result setFeet(const std::string& value, std::vector<std::string>& into) {
    const Result named = ankleNames(value, into);
    return named ? named : Result::failure("bvhpath: --feet takes ankle names separated by commas");
}

// Takes "--name value" or "--name=value" at args[i]; false when args[i] is not that option.
// value is empty when the option has no value.
bool takeOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                std::string& value) {
    const std::string& arg = args[i];
    if (arg.compare(0, name.size(), name) != 0) {
        return false;
    }
    if (arg.size() == name.size()) {
        value = i + 1 < args.size() ? args[++i] : std::string();
        return true;
    }
    if (arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        return true;
    }
    return false;
}

Result badValue(const std::string& option, const char* expected) {
    return Result::failure("bvhpath: " + option + " takes " + expected);
}

Result setUpAxis(const std::string& option, const std::string& value, std::optional<UpAxis>& into) {
    for (const UpAxisWord& w : kUpAxisWords) {
        if (value == w.word) {
            into = w.axis;
            return Result::success();
        }
    }
    return badValue(option, "y or z");
}

Result setPositionChannels(const std::string& option, const std::string& value,
                           std::optional<PositionChannels>& into) {
    for (const PositionChannelsWord& w : kPositionChannelsWords) {
        if (value == w.word) {
            into = w.reading;
            return Result::success();
        }
    }
    return badValue(option, "add or replace");
}

// Reads the arguments after the subcommand's name; only convert takes the output options, only
// edit the edit options.
Result parse(const std::vector<std::string>& args, unsigned optionSet, Arguments& parsed) {
    const bool outputOptions = (optionSet & kOutputOptions) != 0;
    const bool editOptions = (optionSet & kEditOptions) != 0;
    const bool feetOption = (optionSet & kFeetOption) != 0;
    const bool unitScaleOption = (optionSet & kUnitScaleOption) != 0;
    const bool detailOption = (optionSet & kDetailOption) != 0;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string value;
        Result r = Result::success();
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            parsed.files.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (takeOption(args, i, "--read-up-axis", value)) {
            r = setUpAxis("--read-up-axis", value, parsed.reading.upAxis);
        } else if (takeOption(args, i, "--read-position-channels", value)) {
            r = setPositionChannels("--read-position-channels", value,
                                    parsed.reading.positionChannels);
        } else if (outputOptions && takeOption(args, i, "--up-axis", value)) {
            r = setUpAxis("--up-axis", value, parsed.output.upAxis);
        } else if (outputOptions && takeOption(args, i, "--position-channels", value)) {
            r = setPositionChannels("--position-channels", value, parsed.output.positionChannels);
        } else if (editOptions && arg == "--move") {
            r = setMove(args, i, parsed);
        } else if (editOptions && takeOption(args, i, "--falloff", value)) {
            r = numberFrom(value, parsed.falloff) && parsed.falloff >= 0.0
                    ? Result::success()
                    : badValue("--falloff", "a radius of 0 or more");
        } else if (editOptions &&
                   (arg == "--turn" || arg == "--shift" || arg == "--scale" || arg == "--about")) {
            r = setTransform(args, i, parsed);
        } else if (detailOption && takeOption(args, i, "--detail", value)) {
            double frames = 0.0;
            r = numberFrom(value, frames) && frames == std::floor(frames) &&
                        frames >= RootPath::kShortestBlock && frames <= 1e9
                    ? Result::success()
                    : badValue("--detail", "a number of frames, 4 or more");
            parsed.detail = r ? static_cast<int>(frames) : parsed.detail;
        } else if (editOptions && arg == "--plant-feet") {
            parsed.plantFeet = true;
        } else if (editOptions && arg == "--keep-speed") {
            parsed.keepSpeed = true;
        } else if (feetOption && takeOption(args, i, "--feet", value)) {
            r = setFeet(value, parsed.feet);
        } else if (unitScaleOption && takeOption(args, i, "--unit-scale", value)) {
            double scale = 0.0;
            r = numberFrom(value, scale) && scale > 0.0
                    ? Result::success()
                    : badValue("--unit-scale", "a number of metres above 0");
            parsed.unitScale = scale;
        } else {
            r = Result::failure("bvhpath " + args[0] + ": unknown option " + arg);
        }
        if (!r) {
            return r;
        }
    }
    return Result::success();
}

void printLine(std::FILE* out, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

// The shortest text that reads back as the same float.
std::string floatText(float v) {
    char text[64];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, v);
    return std::string(text, end.ptr);
}

int fail(std::FILE* out, const Result& result) {
    printLine(out, result.message);
    return 1;
}

// A success may carry a note the user should still see (a save written in place, the text an
// unfinished save left): it is printed as it comes.
Result noted(std::FILE* out, Result result) {
    if (result && !result.message.empty()) {
        printLine(out, result.message);
    }
    return result;
}

// ROOT and JOINT blocks, or End Sites (the blocks of that name without channels).
int countNodes(const Motion& motion, bool endSites) {
    int count = 0;
    for (const Joint* joint : motion.joints()) {
        const bool endSite = joint->name() == "End Site" && joint->channelCount() == 0;
        count += endSite == endSites ? 1 : 0;
    }
    return count;
}

int info(const Arguments& a, std::FILE* out) {
    if (a.files.size() != 1) {
        return fail(
            out, Result::failure("usage: bvhpath info FILE [--detail FRAMES] [--read-up-axis y|z] "
                                 "[--read-position-channels add|replace]"));
    }
    Motion motion;
    const Result loaded = noted(out, [&] {
        TerminalProgress progress("reading " + a.files.front());
        return loadMotion(a.files.front(), motion, a.reading, progress.get());
    }());
    if (!loaded) {
        return fail(out, loaded);
    }
    const PathEdit edit(motion, a.detail);
    const RootPath& path = edit.path();
    const double duration = static_cast<double>(motion.frameCount()) * motion.frameTime();
    const std::string lines[] = {
        "frames: " + std::to_string(motion.frameCount()),
        "frame time: " + floatText(motion.frameTime()),
        "joints: " + std::to_string(countNodes(motion, false)),
        "end sites: " + std::to_string(countNodes(motion, true)),
        "channels: " + std::to_string(motion.frames()->channelCount()),
        std::string("up axis: ") + wordOf(motion.upAxis()),
        std::string("position channels: ") + descriptionOf(motion.positionChannels()),
        "duration: " + floatText(static_cast<float>(duration)),
        "root path length: " + floatText(static_cast<float>(trackLength(path))),
        "control points: " + std::to_string(edit.curve().pointCount()),
        "glTF unit scale: " + unitScaleText(unitScaleOf(motion)),
    };
    for (const std::string& line : lines) {
        printLine(out, line);
    }
    return 0;
}

int check(const Arguments& a, std::FILE* out) {
    if (a.files.empty()) {
        return fail(out, Result::failure("usage: bvhpath check FILE... [--read-up-axis y|z] "
                                         "[--read-position-channels add|replace]"));
    }
    int status = 0;
    for (const std::string& file : a.files) {
        Motion motion;
        const Result loaded = [&] {
            TerminalProgress progress("reading " + file);
            return loadMotion(file, motion, a.reading, progress.get());
        }();
        printLine(out, file + ": " + (loaded ? std::string("OK") : loaded.message));
        noted(out, loaded);
        status = loaded ? status : 1;
    }
    return status;
}

int convert(const Arguments& a, std::FILE* out) {
    if (a.files.size() != 2) {
        return fail(out, Result::failure("usage: bvhpath convert IN OUT [--up-axis y|z] "
                                         "[--position-channels add|replace] [--detail FRAMES] "
                                         "[--read-up-axis y|z] "
                                         "[--read-position-channels add|replace]"));
    }
    Motion motion;
    // Each note once its progress line is gone.
    Result result = noted(out, [&] {
        TerminalProgress progress("reading " + a.files[0]);
        return loadMotion(a.files[0], motion, a.reading, progress.get());
    }());
    if (result) {
        const PathEdit edit(motion, a.detail);
        result = noted(out, [&] {
            TerminalProgress progress("writing " + a.files[1]);
            return saveMotion(edit.edited(), a.files[1], a.output, progress.get());
        }());
    }
    return result ? 0 : fail(out, result);
}

// The ground point the window's drag would reach from a cursor straight above it.
bool dragPointTo(Document& document, double x, double z) {
    const double height = document.edit()->path().height();
    return document.dragTo({x, height + 1.0, z}, {x, height - 1.0, z});
}

// Moves a control point as a drag in the window does, through the same document calls.
Result movePoint(Document& document, const Arguments::Move& move, double falloff) {
    const ControlCurve& curve = document.edit()->curve();
    const int count = curve.pointCount();
    if (move.point >= count) {
        return Result::failure("bvhpath edit: no control point " + std::to_string(move.point) +
                               " (the path has " + std::to_string(count) + ")");
    }
    CurvePoint p;
    curve.getPoint(move.point, p);
    // The file's second ground axis is y for a Z-up file, which the display's z runs against.
    const double dz = document.motion()->upAxis() == UpAxis::Z ? -move.dz : move.dz;
    document.setFalloffRadius(static_cast<float>(falloff));
    document.setFalloff(FalloffShape::Linear);
    document.select(move.point);
    // In small steps, as the window's drag comes, so the neighbours on both sides follow.
    const bool moved = document.beginDrag() &&
                       dragInSteps(p.x, p.z, p.x + move.dx, p.z + dz, falloff,
                                   [&](double x, double z) { return dragPointTo(document, x, z); });
    if (!moved) {
        document.cancelDrag();
        return Result::failure("bvhpath edit: control point " + std::to_string(move.point) +
                               " cannot be moved");
    }
    document.commitDrag();
    return Result::success();
}

// Turns, shifts or scales the whole path as the window's Transform menu does with nothing
// selected, along the file's ground axes.
Result transformPath(Document& document, const PathTransform& t) {
    const ControlCurve& curve = document.edit()->curve();
    const bool zUp = document.motion()->upAxis() == UpAxis::Z;
    CurvePoint pivot{t.pivotX, zUp ? -t.pivotZ : t.pivotZ};
    if (t.pivotAtPoint && t.pivotPoint >= curve.pointCount()) {
        return Result::failure("bvhpath edit: no control point " + std::to_string(t.pivotPoint) +
                               " (the path has " + std::to_string(curve.pointCount()) + ")");
    }
    if (t.pivotAtPoint) {
        curve.getPoint(t.pivotPoint, pivot);
    }
    const GroundTransform g =
        t.kind == GroundTransform::Turn    ? GroundTransform::turn(t.a * M_PI / 180.0, pivot)
        : t.kind == GroundTransform::Scale ? GroundTransform::scale(t.a, pivot)
                                           : GroundTransform::shift(t.a, zUp ? -t.b : t.b);
    document.setSelection({});
    return document.transform(g);
}

// Opens the file and edits it as edit's options ask: the feet chosen; the moves and transforms
// in the order the command line gave them, each move a drag of its own, all on the one capture
// (planted feet are solved against the capture after the last edit, never against an earlier
// one's result); then the feet planted and the speed kept.
Result editAsAsked(Document& document, const Arguments& a, std::FILE* out) {
    Result result = noted(out, document.open(a.files[0], a.reading));
    if (result) {
        result = document.setPathDetail(a.detail);
    }
    if (result && !a.feet.empty()) {
        result = document.chooseFeet(a.feet);
    }
    const int moves = static_cast<int>(a.moves.size());
    for (int done = 0; done <= moves && result; ++done) {
        if (done > 0) {
            result = movePoint(document, a.moves[static_cast<std::size_t>(done - 1)], a.falloff);
        }
        for (const PathTransform& t : a.transforms) {
            if (t.movesBefore == done && result) {
                result = transformPath(document, t);
            }
        }
    }
    if (result && a.plantFeet) {
        result = document.setFeetPlanted(true);
    }
    if (result && a.keepSpeed) {
        result = document.setKeepSpeed(true);
    }
    return result;
}

int edit(const Arguments& a, std::FILE* out) {
    if (a.files.size() != 2 || (a.moves.empty() && a.transforms.empty())) {
        return fail(out,
                    Result::failure("usage: bvhpath edit IN OUT --move K DX DZ [--move K DX DZ]... "
                                    "[--falloff R] [--turn DEG [--about K|X,Z]] [--shift DX DZ] "
                                    "[--scale F [--about K|X,Z]] [--detail FRAMES] [--plant-feet] "
                                    "[--feet LEFT,RIGHT] [--keep-speed] [--read-up-axis y|z] "
                                    "[--read-position-channels add|replace]"));
    }
    Document document;
    Result result = editAsAsked(document, a, out);
    if (result) {
        result = noted(out, document.save(a.files[1]));
    }
    return result ? 0 : fail(out, result);
}

// Exports the motion as drawn after the edit asked for, each step of it as edit takes it (the
// move too is optional here).
int exportMotion(const Arguments& a, std::FILE* out) {
    if (a.files.size() != 2) {
        return fail(out,
                    Result::failure("usage: bvhpath export IN OUT.glb|OUT.gltf [--move K DX DZ]... "
                                    "[--falloff R] [--plant-feet] [--feet LEFT,RIGHT] "
                                    "[--keep-speed] [--unit-scale F] [--read-up-axis y|z] "
                                    "[--read-position-channels add|replace]"));
    }
    Document document;
    Result result = editAsAsked(document, a, out);
    if (result) {
        ExportOptions options;
        options.unitScale = a.unitScale;
        result = noted(out, [&] {
            TerminalProgress progress("writing " + a.files[1]);
            return exportGltf(document.edit()->edited(), a.files[1], options, progress.get());
        }());
    }
    return result ? 0 : fail(out, result);
}

int skate(const Arguments& a, std::FILE* out) {
    if (a.files.empty() || a.files.size() > 2) {
        return fail(out,
                    Result::failure("usage: bvhpath skate FILE [REFERENCE] [--feet LEFT,RIGHT] "
                                    "[--detail FRAMES] [--read-up-axis y|z] "
                                    "[--read-position-channels add|replace]"));
    }
    Motion motion;
    Motion reference;
    const std::string& referencePath = a.files.size() == 2 ? a.files[1] : a.files[0];
    Result result = noted(out, loadMotion(a.files[0], motion, a.reading));
    if (result) {
        result = loadMotion(referencePath, reference, a.reading);
    }
    // The measure finds its own contacts; only the legs are chosen here.
    std::vector<LegChain> legs;
    if (result) {
        result = legsOf(reference, a.feet, legs);
    }
    if (result && (reference.frameCount() != motion.frameCount() ||
                   reference.joints().size() != motion.joints().size())) {
        result = Result::failure("bvhpath skate: " + referencePath +
                                 " does not have the frames and joints of " + a.files[0]);
    }
    if (!result) {
        return fail(out, result);
    }
    int pairs = 0;
    // The motion as its path edit shows it, which the detail does not change while unedited.
    const PathEdit edit(motion, a.detail);
    const double skate = footSkate(edit.edited(), skateReference(reference, legs), false, &pairs);
    printLine(out, "foot skate: " + floatText(static_cast<float>(skate)));
    printLine(out, "contact pairs: " + std::to_string(pairs));
    return 0;
}

struct Subcommand {
    const char* name;
    unsigned optionSet;
    int (*run)(const Arguments&, std::FILE*);
};
constexpr Subcommand kSubcommands[] = {
    {"info", kDetailOption, info},
    {"check", 0u, check},
    {"convert", kOutputOptions | kDetailOption, convert},
    {"edit", kEditOptions | kFeetOption | kDetailOption, edit},
    {"export", kEditOptions | kFeetOption | kUnitScaleOption | kDetailOption, exportMotion},
    {"skate", kFeetOption | kDetailOption, skate},
};

const Subcommand* subcommandNamed(const std::string& word) {
    for (const Subcommand& s : kSubcommands) {
        if (word == s.name) {
            return &s;
        }
    }
    return nullptr;
}

}  // namespace

bool isSubcommand(const std::string& word) {
    return subcommandNamed(word) != nullptr;
}

int runSubcommand(const std::vector<std::string>& args, std::FILE* out) {
    const Subcommand* subcommand = args.empty() ? nullptr : subcommandNamed(args[0]);
    if (subcommand == nullptr) {
        return fail(out, Result::failure("bvhpath: no such subcommand"));
    }
    Arguments parsed;
    const Result r = parse(args, subcommand->optionSet, parsed);
    if (!r) {
        return fail(out, r);
    }
    if (parsed.help) {
        std::fputs(kHelpText, out);
        std::fflush(out);
        return 0;
    }
    return subcommand->run(parsed, out);
}

int runWithoutWindow(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
                     bool& wantsWindow) {
    wantsWindow = false;
    if (!args.empty() && isSubcommand(args[0])) {
        return runSubcommand(args, out);
    }
    if (args.size() == 1 && args[0] == "--help") {
        std::fputs(kHelpText, out);
        std::fflush(out);
        return 0;
    }
    if (args.size() > 1 || (args.size() == 1 && !args[0].empty() && args[0][0] == '-')) {
        std::fputs(kWindowUsage, err);
        return 2;
    }
    wantsWindow = true;
    return 0;
}
