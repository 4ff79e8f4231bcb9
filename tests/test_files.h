#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Files the tests write in their program's scratch folder and read back; every test program
// shares these.

// The path of a scratch file.
inline std::string scratchPath(const std::string& name) {
    return testing::TempDir() + name;
}

// Writes the bytes to the path, whole.
inline void writeWhole(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    EXPECT_TRUE(out.good()) << path;
}

// Writes a scratch file and returns its path.
inline std::string writeScratch(const std::string& name, const std::string& bytes) {
    const std::string path = scratchPath(name);
    writeWhole(path, bytes);
    return path;
}

// The file's bytes as they are on disk; empty when it cannot be read.
inline std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The real motion files beside the repository: the path of every .bvh file in name order, none
// when the folder is absent (tests that need them skip then, so a clone elsewhere still passes).
inline std::vector<std::string> corpusFiles() {
    std::vector<std::string> paths;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(BVHPATH_CORPUS_DIR, error)) {
        if (entry.path().extension() == ".bvh") {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The path of one corpus file, by its name.
inline std::string corpusFile(const std::string& name) {
    return std::string(BVHPATH_CORPUS_DIR) + "/" + name;
}

// Skips the test when the corpus is absent.
#define SKIP_WITHOUT_CORPUS()                                                   \
    if (corpusFiles().empty())                                                  \
    GTEST_SKIP() << "corpus folder " << BVHPATH_CORPUS_DIR << " is absent"
