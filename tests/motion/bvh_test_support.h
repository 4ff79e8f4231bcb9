#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "motion/bvh_reader.h"
#include "motion/frame_table.h"
#include "motion/joint.h"

// What one read of a BVH text gave: the skeleton, the table and its failure as the console line.
struct ReadResult {
    std::unique_ptr<Joint> root;
    std::unique_ptr<FrameTable> frames;
    std::string output;
};

// Reads the text as the loader reads a file: hierarchy, then motion if the hierarchy read.
inline ReadResult readBvhText(std::string text) {
    ReadResult result;
    BvhReader reader;
    reader.openText(std::move(text));
    result.root = reader.readHierarchy();
    if (result.root) {
        result.frames = reader.readMotion();
    }
    result.output = reader.failure().empty() ? std::string() : reader.failure() + "\n";
    return result;
}

inline ReadResult readBvhFile(const std::string& path) {
    ReadResult result;
    BvhReader reader;
    reader.open(path);
    result.root = reader.readHierarchy();
    if (result.root) {
        result.frames = reader.readMotion();
    }
    reader.close();
    result.output = reader.failure().empty() ? std::string() : reader.failure() + "\n";
    return result;
}

// The file's bytes as they are on disk.
inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string parserMessage(const std::string& reason) {
    return "The Parser could not parse this: " + reason + "\n";
}

// Joints in depth-first pre-order (the frame-column order), walked without recursion.
inline std::vector<const Joint*> preOrder(const Joint* root) {
    std::vector<const Joint*> order;
    std::vector<const Joint*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        const Joint* joint = pending.back();
        pending.pop_back();
        order.push_back(joint);
        std::vector<const Joint*> children;
        for (const Joint* c = joint->firstChild(); c; c = c->nextSibling())
            children.push_back(c);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return order;
}

// A small valid file: a root with six channels, one joint with three, ending in an End Site;
// two frames of nine values.
inline std::string smallBvh() {
    return "HIERARCHY\n"
           "ROOT Hips\n"
           "{\n"
           "\tOFFSET 1.5 2.5 -3.25\n"
           "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
           "\tJOINT Spine\n"
           "\t{\n"
           "\t\tOFFSET 0 10 0\n"
           "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
           "\t\tEnd Site\n"
           "\t\t{\n"
           "\t\t\tOFFSET 0 5 0.5\n"
           "\t\t}\n"
           "\t}\n"
           "}\n"
           "MOTION\n"
           "Frames: 2\n"
           "Frame Time: 0.033333\n"
           "1 2 3 4 5 6 7 8 9\n"
           "-1 -2 -3 -4 -5 -6 -7 -8 -9\n";
}

// Replaces the first occurrence of from in text by to.
inline std::string replaced(std::string text, const std::string& from, const std::string& to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// A file name of this test process's own, so concurrent runs do not share files.
inline std::string temporaryPath(const std::string& name) {
    return testing::TempDir() + "bvhpath_" + std::to_string(getpid()) + "_" + name;
}

// Whether the output is exactly one line that begins with the reader's failure prefix.
inline bool isOneParserLine(const std::string& output) {
    return output.rfind("The Parser could not parse this: ", 0) == 0 &&
           output.find('\n') == output.size() - 1;
}
