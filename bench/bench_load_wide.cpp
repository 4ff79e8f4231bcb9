// Files of up to 10 MB whose skeletons are very wide: 100,000 joints without channels over the
// most frames a file may have, the same fan hanging from a walking and turning root, 100,000
// turning joints, and the corpus walk with 100,000 joints hung below its left foot. For each, the
// window's load (the motion and its path edit), a bend of the path with its refresh, and on the
// walk Keep Feet Planted; the worst of each over the files must stay within two seconds.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "document/path_bend.h"
#include "document/path_edit.h"
#include "generated_motion.h"
#include "motion/load_motion.h"
#include "motion/motion.h"

namespace {

constexpr int kJoints = 100000;

// A fan of `joints` joints without channels, spread over a box (the root's children).
std::string fan(int joints, double spread) {
    std::string text;
    char line[160];
    for (int i = 0; i < joints; ++i) {
        std::snprintf(line, sizeof line, "JOINT J\n{\nOFFSET %g %g %g\nCHANNELS 0\n}\n",
                      spread * (i % 97), spread * (i % 89), spread * (i % 83));
        text += line;
    }
    return text;
}

std::string stillFan(int frames) {
    return "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 0\n" + fan(kJoints - 1, 1.0) +
           "}\nMOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.01\n" +
           std::string(static_cast<std::size_t>(frames), '\n');
}

std::string walkingFan(int frames) {
    std::string text =
        "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition Yposition Zposition "
        "Zrotation Xrotation Yrotation\n" +
        fan(kJoints - 1, 1.0) + "}\nMOTION\nFrames: " + std::to_string(frames) +
        "\nFrame Time: 0.01\n";
    char line[160];
    for (int f = 0; f < frames; ++f) {
        std::snprintf(line, sizeof line, "%.2f 90 %.2f %.1f 0 %.1f\n", f * 0.5,
                      50 * std::sin(f * 0.01), 5 * std::sin(f * 0.1), std::fmod(f * 0.1, 360.0));
        text += line;
    }
    return text;
}

std::string turningJoints(int frames) {
    std::string text =
        "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition Yposition Zposition "
        "Zrotation Xrotation Yrotation\n";
    char line[160];
    for (int i = 1; i < kJoints; ++i) {
        std::snprintf(line, sizeof line,
                      "JOINT J\n{\nOFFSET %d %d %d\nCHANNELS 3 Zrotation Xrotation Yrotation\n}\n",
                      i % 9, i % 7 + 1, i % 5);
        text += line;
    }
    text += "}\nMOTION\nFrames: " + std::to_string(frames) + "\nFrame Time: 0.01\n";
    for (int f = 0; f < frames; ++f) {
        text += std::to_string(f) + " 90 0 0 0 0";
        for (int i = 1; i < kJoints; ++i) {
            text += " " + std::to_string((i + f) % 19 - 9) + " 0 " + std::to_string(f % 5);
        }
        text += "\n";
    }
    return text;
}

// The corpus walk with the fan hung from its left foot, below its toes, where the search for
// the feet meets every one of them first.
std::string walkWithFootFan() {
    std::ifstream in(std::string(BVHPATH_CORPUS_DIR) + "/cmu_12_01_walk.bvh", std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    const std::size_t foot = text.find("JOINT LeftFoot");
    const std::size_t channels = foot == std::string::npos ? foot : text.find("CHANNELS", foot);
    if (channels == std::string::npos) {
        return "";
    }
    std::string hung;
    char line[160];
    for (int i = 0; i < kJoints; ++i) {
        std::snprintf(line, sizeof line, "JOINT J\n{\nOFFSET %g %g %g\nCHANNELS 0\n}\n",
                      0.1 * (i % 7), -3.0 - 0.1 * (i % 5), 0.1 * (i % 3));
        hung += line;
    }
    const std::size_t after = text.find('\n', channels) + 1;
    return text.substr(0, after) + hung + text.substr(after);
}

double millisecondsOf(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    return ok ? bench::secondsSince(start) * 1000.0 : -1.0;
}

}  // namespace

int main() {
    const struct {
        const char* name;
        std::function<std::string()> text;
        bool plants;
    } files[] = {
        {"still fan, 5,000,000 frames", [] { return stillFan(5000000); }, false},
        {"walking fan, 100,000 frames", [] { return walkingFan(100000); }, false},
        {"turning joints, 5 frames", [] { return turningJoints(5); }, false},
        {"walk with a fan below a foot", walkWithFootFan, true},
    };
    double worstLoad = 0.0;
    double worstRefresh = 0.0;
    double plant = -1.0;
    for (const auto& file : files) {
        const std::string text = file.text();
        if (text.empty()) {
            std::printf("%s: no corpus walk, skipped\n", file.name);
            continue;
        }
        const std::string path = bench::scratchPath("bench_load_wide.bvh");
        std::ofstream(path, std::ios::binary) << text;
        auto motion = std::make_unique<Motion>();
        std::unique_ptr<PathEdit> edit;
        const double load = millisecondsOf([&] {
            if (!loadMotion(path, *motion)) {
                return false;
            }
            edit = std::make_unique<PathEdit>(*motion);
            return true;
        });
        std::remove(path.c_str());
        if (load < 0.0) {
            std::printf("%s: not loaded\n", file.name);
            return 1;
        }
        const double refresh =
            millisecondsOf([&] { return bendMiddleSideways(*edit, motion->height()); });
        std::printf("%s (%.1f MB): load %.0f ms, bend and refresh %.0f ms", file.name,
                    static_cast<double>(text.size()) / 1e6, load, refresh);
        worstLoad = std::max(worstLoad, load);
        worstRefresh = std::max(worstRefresh, refresh);
        if (file.plants) {
            plant = millisecondsOf([&] { return static_cast<bool>(edit->setFeetPlanted(true)); });
            std::printf(", Keep Feet Planted %.0f ms", plant);
        }
        std::printf("\n");
    }
    std::printf("summary wide_load_ms: %.0f\n", worstLoad);
    std::printf("summary wide_refresh_ms: %.0f\n", worstRefresh);
    if (plant >= 0.0) {
        std::printf("summary wide_plant_ms: %.0f\n", plant);
    }
    return 0;
}
