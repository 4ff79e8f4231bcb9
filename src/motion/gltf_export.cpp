#include "motion/gltf_export.h"

#include <tiny_gltf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <exception>
#include <new>
#include <ostream>
#include <streambuf>

#include "motion/bake.h"
#include "motion/file_replace.h"
#include "motion/gltf_model.h"
#include "motion/gltf_tracks.h"
#include "motion/progress.h"

namespace {

const std::string kError = "Error in glTF file output: ";
const char kNoMemory[] = "Error in glTF file output: not enough memory to export";
// The share of the work the conversion to tracks takes; laying out the buffer and writing it
// take the rest.
constexpr double kTracksShare = 0.4;
constexpr double kLayoutShare = 0.5;

// The file replacement speaks of BVH output; here it writes glTF.
Result retitled(Result result) {
    for (const char* kind : {"Error in ", "Note in "}) {
        const std::string bvh = std::string(kind) + "BVH file output: ";
        std::string& message = result.message;
        for (std::size_t at = message.find(bvh); at != std::string::npos;
             at = message.find(bvh, at)) {
            message.replace(at, bvh.size(), std::string(kind) + "glTF file output: ");
        }
    }
    return result;
}

bool endsInGltf(const std::string& path) {
    const std::string suffix = ".gltf";
    if (path.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(), path.end() - suffix.size(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

// The stream tinygltf writes into, onto the replacement's file: it reports how far the writing
// got and stops taking bytes once the user cancelled.
class FileStreamBuffer : public std::streambuf {
  public:
    FileStreamBuffer(std::FILE* file, Progress* progress, std::size_t expected)
        : file_(file), progress_(progress), expected_(std::max<std::size_t>(expected, 1)) {}

  protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        constexpr std::streamsize kChunk = std::streamsize{1} << 20;
        std::streamsize done = 0;
        while (done < size) {
            const std::size_t n = static_cast<std::size_t>(std::min(kChunk, size - done));
            if (!reportStage(progress_, kLayoutShare, 1.0, static_cast<double>(written_),
                             static_cast<double>(expected_)) ||
                std::fwrite(data + done, 1, n, file_) != n) {
                return done;
            }
            written_ = std::min(written_ + n, expected_);
            done += static_cast<std::streamsize>(n);
        }
        return done;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

  private:
    std::FILE* file_;
    Progress* progress_;
    std::size_t expected_;
    std::size_t written_ = 0;
};

Result writeModel(const tinygltf::Model& model, bool text, std::FILE* file, Progress* progress) {
    const std::size_t bytes = model.buffers.empty() ? 0 : model.buffers[0].data.size();
    // Base64 writes four letters for every three bytes.
    FileStreamBuffer buffer(file, progress, text ? bytes / 3 * 4 : bytes);
    std::ostream stream(&buffer);
    tinygltf::TinyGLTF writer;
    const bool written = writer.WriteGltfSceneToStream(&model, stream, false, !text);
    stream.flush();
    if (progress != nullptr && progress->cancelled()) {
        return Result::failure(Progress::kCancelled);
    }
    if (!written || !stream) {
        return Result::failure(kError + "could not write the file");
    }
    return Result::success();
}

Result withNote(Result result, const std::string& note) {
    if (result && !note.empty()) {
        result.message = result.message.empty() ? note : note + "; " + result.message;
    }
    return result;
}

}  // namespace

Result prepareExport(const EditedMotion& edited, PreparedExport& prepared,
                     const ExportOptions& options) {
    const Motion& motion = edited.motion;
    if (!motion.poseable()) {
        return Result::failure(kError + "no motion to export");
    }
    for (std::size_t j = 1; j < motion.joints().size(); ++j) {
        if (motion.parentIndex()[j] < 0) {
            return Result::failure(kError + "the skeleton has more than one root");
        }
    }
    if (!(motion.frameTime() > 0.0f)) {
        return Result::failure(kError +
                               "the Frame Time is not above 0, so the frames have no times");
    }
    if (frameTimes(motion.frameCount(), motion.frameTime()).empty()) {
        return Result::failure(kError + "the frames are too close in time for glTF's times");
    }
    if (options.unitScale && !(*options.unitScale > 0.0 && std::isfinite(*options.unitScale))) {
        return Result::failure(kError + "the unit scale must be a positive number");
    }
    SaveOptions yUp;
    yUp.upAxis = UpAxis::Y;
    try {
        prepared.frames = bake(edited, &prepared.rootChannels, yUp);
    } catch (const std::bad_alloc&) {
        prepared.frames.reset();
        return Result::failure(kNoMemory);
    }
    if (!prepared.frames) {
        return Result::failure(kError + "no motion to export");
    }
    prepared.motion = &motion;
    prepared.rootOffset = bakedRootOffset(motion, yUp);
    prepared.scale = unitScaleOf(motion, options.unitScale);
    return Result::success();
}

Result PreparedExport::write(const std::string& path, Progress* progress) const {
    if (motion == nullptr || !frames) {
        return Result::failure(kError + "no motion to export");
    }
    try {
        MotionTracks tracks;
        const Result converted = motionTracks(*this, tracks, progress, 0.0, kTracksShare);
        if (!converted) {
            return converted;
        }
        tinygltf::Model model;
        if (!buildModel(tracks, model)) {
            return Result::failure(kError + "the motion is too long for one glTF file");
        }
        if (!reportStage(progress, kTracksShare, kLayoutShare, 1.0, 1.0)) {
            return Result::failure(Progress::kCancelled);
        }
        const bool text = endsInGltf(path);
        const Result written = retitled(replaceFile(
            path, [&](std::FILE* file) { return writeModel(model, text, file, progress); }));
        return withNote(written, unitScaleNote(scale));
    } catch (const std::bad_alloc&) {
        return Result::failure(kNoMemory);
    } catch (const std::exception& e) {
        return Result::failure(kError + e.what());
    }
}

Result exportGltf(const EditedMotion& edited, const std::string& path, const ExportOptions& options,
                  Progress* progress) {
    PreparedExport prepared;
    const Result ready = prepareExport(edited, prepared, options);
    return ready ? prepared.write(path, progress) : ready;
}
