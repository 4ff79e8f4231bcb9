#include <algorithm>

#include "editing/block_fit.h"
#include "editing/root_path.h"
#include "numeric/run_in_halves.h"

namespace {
// Blocks from which the fit is split between two threads (about a millisecond of work).
constexpr int kSplitBlocks = 256;
}  // namespace

void RootPath::fitCurve() {
    const int count = sampleCount();
    const int length = blockLength();
    const int blocks = count / length + (count % length != 0 ? 1 : 0);
    auto curve = std::make_unique<ControlCurve>();
    fittedX_.clear();
    fittedZ_.clear();
    if (count > 0) {
        fittedX_.assign(static_cast<std::size_t>(blocks) + 2, 0.0);
        fittedZ_.assign(static_cast<std::size_t>(blocks) + 2, 0.0);
        fittedX_.front() = sampleX_.front();
        fittedZ_.front() = sampleZ_.front();
        // Every block is fitted on its own, so long motions fit theirs on two cores.
        runInHalves(blocks, kSplitBlocks, [&](int firstBlock, int lastBlock, int) {
            // A block never holds more samples than the track, however long it is set.
            BlockFit fit(std::min(length, count));
            for (int i = firstBlock; i < lastBlock; ++i) {
                const int first = i * length;
                const int n = std::min(length, count - first);
                // The earlier of the two middle samples of an even block (sample 24 of 50).
                const int middle = (n - 1) / 2;
                const std::size_t at = static_cast<std::size_t>(i) + 1;
                fittedX_[at] = sampleX_[static_cast<std::size_t>(first + middle)];
                fittedZ_[at] = fit.fittedZ(&sampleX_[static_cast<std::size_t>(first)],
                                           &sampleZ_[static_cast<std::size_t>(first)], n, middle);
            }
        });
        fittedX_.back() = sampleX_.back();
        fittedZ_.back() = sampleZ_.back();
        for (std::size_t k = 0; k < fittedX_.size(); ++k) {
            curve->setPoint(CurvePoint{fittedX_[k], fittedZ_[k]}, static_cast<int>(k));
        }
    }
    curve->useCatmullRom();
    curve->setHeight(height_);
    // The first evaluation caches the segment boundaries for this point count; done here, every
    // later evaluation of the fitted curve only reads, so threads may share it (an edit moves
    // points but never changes their count).
    CurvePoint first;
    curve->evaluate(0.0, first);
    curve_ = std::move(curve);
}
