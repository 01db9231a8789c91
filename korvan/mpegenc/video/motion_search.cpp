#include "korvan/mpegenc/video/motion_search.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <new>

#include "korvan/mpegenc/common/vlc_tables.h"

namespace korvan {
namespace {

// Positions of the whole-sample spiral handed to the kernel at once: the
// four rings of the two-stage search fit.
constexpr int kSpiralBatch = MotionSearcher::kSpiralPositions;

// Rings of the coarse window (0..7).
constexpr int kCoarseRings = kCoarseWindowWidth / 2;

// The bits of one component's difference (half samples) by its size: the
// motion code with its sign, and one bit of range. From 31 on the code is
// the longest one.
constexpr int kCountedDifferences = 32;
const std::array<uint8_t, kCountedDifferences> kComponentBits = [] {
    std::array<uint8_t, kCountedDifferences> bits{};
    bits[0] = 1;
    for (int d = 1; d < kCountedDifferences; ++d)
        bits[d] = static_cast<uint8_t>(MotionCode((d - 1) / 2 + 1).length + 1);
    return bits;
}();

int ComponentBits(int difference) {
    return kComponentBits[std::min(std::abs(difference), kCountedDifferences - 1)];
}

}  // namespace

int VectorCost::Bits(MotionVector vector, MotionVector predicted) {
    return ComponentBits(vector.x - predicted.x) + ComponentBits(vector.y - predicted.y);
}

int AdaptiveFCode(int largestHalfSamples) {
    for (int f = 1; f <= 9; ++f) {
        if (largestHalfSamples < (16 << (f - 1))) return f;
    }
    return 1;
}

bool SubsampledPicture::Allocate(const CodingGeometry& geometry) {
    width_ = geometry.lumaWidth / 4;
    height_ = geometry.lumaHeight / 4;
    try {
        pels_.assign(static_cast<size_t>(stride()) * height_, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void SubsampledPicture::Build(const Plane& luma, const VideoKernels& kernels, Lines lines) {
    for (int y = 0; y < height_; ++y) {
        uint8_t* out = pels_.data() + static_cast<size_t>(y) * stride() + kBorder;
        if (lines == Lines::kPerField) {
            // Row y: field y & 1, its lines 4 (y >> 1) .. + 3.
            kernels.reduceRow(luma.Row(8 * (y >> 1) + (y & 1)), 2 * luma.stride, width_, out);
        } else {
            kernels.reduceRow(luma.Row(4 * y), luma.stride, width_, out);
        }
    }
}

bool SubsampledPicture::IsFlat() const {
    long long sum = 0;
    long long squares = 0;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* row = Row(y);
        for (int x = 0; x < width_; ++x) {
            sum += row[x];
            squares += row[x] * row[x];
        }
    }
    const long long count = static_cast<long long>(width_) * height_;
    if (count == 0) return true;
    const long long deviation = squares - sum * sum / count;
    return deviation < 20 * count;
}

namespace {

// Calls visit(dx, dy) for the 8k positions of ring k (k > 0).
template <typename Visit>
void VisitRing(int k, Visit&& visit) {
    for (int d = -k; d < k; ++d) {
        visit(d, -k);   // top edge, left to right
        visit(k, d);    // right edge, top to bottom
        visit(-d, k);   // bottom edge, right to left
        visit(-k, -d);  // left edge, bottom to top
    }
}

// Rings 1..kTabledRings in VisitRing's order, with where each ring starts.
constexpr int kTabledRings = 8;
static_assert(4 * kTabledRings * (kTabledRings + 1) == MotionSearcher::kSpiralPositions);
struct SpiralTable {
    MotionVector positions[MotionSearcher::kSpiralPositions];
    int ringStart[kTabledRings + 2] = {};
};

const SpiralTable& Spiral() {
    static const SpiralTable table = [] {
        SpiralTable t;
        int n = 0;
        for (int k = 1; k <= kTabledRings; ++k) {
            t.ringStart[k] = n;
            VisitRing(k, [&](int dx, int dy) { t.positions[n++] = {dx, dy}; });
        }
        t.ringStart[kTabledRings + 1] = n;
        return t;
    }();
    return table;
}

}  // namespace

MotionVector MotionSearcher::CoarseSearch(const SubsampledPicture& current,
                                          const SubsampledPicture& reference, int mbX, int mbY,
                                          int radius, int verticalRadius, int patience) const {
    const int bx = 4 * mbX;
    const int by = 4 * mbY;
    const int maxX = reference.width() - 4;
    const int maxY = reference.height() - 4;
    // The sums are whole (no early exit): the search only asks which is
    // smaller. Up to a radius of 7 one kernel call gives every sum of the
    // window at once; the spiral then only looks them up.
    const int top = std::max({-radius, -verticalRadius, -by});
    const int bottom = std::min({radius, verticalRadius, maxY - by});
    constexpr int kReach = kCoarseWindowWidth / 2 - 1;
    const bool windowed = radius <= kReach && bottom >= top;
    uint16_t window[kCoarseWindowWidth * (2 * kReach + 1)];
    if (windowed) {
        kernels_.coarseWindow(current.Row(by) + bx, current.stride(),
                              reference.Row(by + top) + bx - kReach, reference.stride(),
                              bottom - top + 1, window);
    }
    const auto sadAt = [&](int x, int y) {
        if (windowed)
            return static_cast<int>(window[kCoarseWindowWidth * (y - by - top) + x - bx + kReach]);
        return kernels_.sad4x4(current.Row(by) + bx, current.stride(), reference.Row(y) + x,
                               reference.stride());
    };
    int best = sadAt(bx, by);
    MotionVector bestOffset;
    if (best == 0) return bestOffset;

    const auto inside = [&](int dx, int dy) {
        const int x = bx + dx;
        const int y = by + dy;
        return x >= 0 && y >= 0 && x <= maxX && y <= maxY && std::abs(dy) <= verticalRadius;
    };
    // Each ring's smallest sum; only a ring that improves on the best is
    // walked in spiral order, to find where that sum first occurs (the
    // position a plain walk would keep).
    int ringMinima[kCoarseRings];
    std::fill(ringMinima, ringMinima + kCoarseRings, INT_MAX);
    if (windowed) {
        uint16_t minima[kCoarseRings];
        kernels_.coarseRingMinima(window, bottom - top + 1, -top, std::max(-radius, -bx),
                                  std::min(radius, maxX - bx), minima);
        for (int k = 0; k < kCoarseRings; ++k)
            ringMinima[k] = minima[k] == kNoSum ? INT_MAX : minima[k];
    }
    const auto ringMinimum = [&](int k) {
        if (windowed) return ringMinima[k];
        int smallest = INT_MAX;
        for (int dy = -k; dy <= k; ++dy) {
            const int step = (dy == -k || dy == k) ? 1 : 2 * k;
            for (int dx = -k; dx <= k; dx += step) {
                if (inside(dx, dy)) smallest = std::min(smallest, sadAt(bx + dx, by + dy));
            }
        }
        return smallest;
    };

    bool improved = false;
    int idleCheckpoints = 0;
    for (int k = 1; k <= radius; ++k) {
        const int smallest = ringMinimum(k);
        if (smallest < best) {
            bool found = false;
            const auto match = [&](int dx, int dy) {
                if (found || !inside(dx, dy) || sadAt(bx + dx, by + dy) != smallest) return;
                bestOffset = {dx, dy};
                found = true;
            };
            if (k <= kTabledRings) {
                const SpiralTable& spiral = Spiral();
                for (int i = spiral.ringStart[k]; i < spiral.ringStart[k + 1] && !found; ++i)
                    match(spiral.positions[i].x, spiral.positions[i].y);
            } else {
                VisitRing(k, match);
            }
            best = smallest;
            improved = true;
            // An exact match ends the search.
            if (best == 0) break;
        }
        if (k == 1 || k == 2 || k == 4 || k == 8) {
            idleCheckpoints = improved ? 0 : idleCheckpoints + 1;
            improved = false;
            if (idleCheckpoints > patience) break;
        }
    }
    return {4 * bestOffset.x, 4 * bestOffset.y};
}

MotionSearcher::MotionSearcher(const VideoKernels& kernels, const CodingGeometry& geometry)
    : kernels_(kernels), geometry_(geometry) {
    // The strides of frames and of fields.
    const SpiralTable& spiral = Spiral();
    for (int f = 0; f < 2; ++f) {
        spiralStrides_[f] = geometry.lumaWidth << f;
        for (int i = 0; i < spiral.ringStart[kTabledRings + 1]; ++i) {
            spiralOffsets_[f][i] =
                static_cast<ptrdiff_t>(spiral.positions[i].y) * spiralStrides_[f] +
                spiral.positions[i].x;
        }
    }
}

const ptrdiff_t* MotionSearcher::SpiralOffsets(int stride) const {
    for (int f = 0; f < 2; ++f) {
        if (spiralStrides_[f] == stride) return spiralOffsets_[f];
    }
    return nullptr;
}

SearchWindow MotionSearcher::ClipWindow(int mbX, int mbY, int horizontal, int vertical) const {
    return ClipBlockWindow(16 * mbX, 16 * mbY, 16, geometry_.lumaHeight, horizontal, vertical);
}

SearchWindow MotionSearcher::ClipBlockWindow(int x, int y, int rows, int height, int horizontal,
                                             int vertical) const {
    SearchWindow w;
    w.left = std::max(-horizontal, -x);
    w.right = std::min(horizontal, geometry_.lumaWidth - 16 - x);
    w.up = std::max(-vertical, -y);
    w.down = std::min(vertical, height - rows - y);
    return w;
}

int MotionSearcher::SadAt(const Plane& current, const Plane& reference, int mbX, int mbY,
                          MotionVector vector, const SearchWindow& window) const {
    const int px = vector.x >> 1;
    const int py = vector.y >> 1;
    const int qx = px + (vector.x & 1);
    const int qy = py + (vector.y & 1);
    if (px < window.left || qx > window.right || py < window.up || qy > window.down) return -1;
    const int x = 16 * mbX;
    const int y = 16 * mbY;
    return kernels_.sad[HalfPelIndex(vector.x & 1, vector.y & 1)](
        current.Row(y) + x, current.stride, reference.Row(y + py) + x + px, reference.stride, 16,
        INT_MAX);
}

SearchResult MotionSearcher::FineSearch(const Plane& current, const Plane& reference, int mbX,
                                        int mbY, const MotionVector* starts, int count, int radius,
                                        const SearchWindow& window, const VectorCost* cost) const {
    return FineSearchBlock(current, reference, 16 * mbX, 16 * mbY, 16, starts, count, radius,
                           window, cost);
}

SearchResult MotionSearcher::FineSearchBlock(const Plane& current, const Plane& reference, int x0,
                                             int y0, int rows, const MotionVector* starts,
                                             int count, int radius, const SearchWindow& window,
                                             const VectorCost* cost) const {
    const uint8_t* cur = current.Row(y0) + x0;
    const auto sadAt = [&](int dx, int dy, int halfIndex, int limit) {
        const uint8_t* ref = reference.Row(y0 + dy) + x0 + dx;
        return kernels_.sad[halfIndex](cur, current.stride, ref, reference.stride, rows, limit);
    };
    const auto inside = [&](int dx, int dy) {
        return dx >= window.left && dx <= window.right && dy >= window.up && dy <= window.down;
    };

    MotionVector centre;
    int best = INT_MAX;
    // Neighbours often moved alike: a start already tried is not tried again.
    constexpr int kMostStarts = 8;
    MotionVector tried[kMostStarts];
    int triedCount = 0;
    for (int i = 0; i < count; ++i) {
        const MotionVector start{std::clamp(starts[i].x, window.left, window.right),
                                 std::clamp(starts[i].y, window.up, window.down)};
        if (std::find(tried, tried + triedCount, start) != tried + triedCount) continue;
        if (triedCount < kMostStarts) tried[triedCount++] = start;
        const int sad = sadAt(start.x, start.y, 0, best);
        if (sad < best) {
            best = sad;
            centre = start;
        }
    }
    // The rings go to the kernel in spiral order, as many positions a call
    // as the buffer holds; the kernel keeps the running best, so this is
    // the same as one position at a time.
    MotionVector bestPel = centre;
    int positionX[kSpiralBatch];
    int positionY[kSpiralBatch];
    ptrdiff_t offsets[kSpiralBatch];
    int pending = 0;
    const auto flush = [&] {
        if (best > 0 && pending > 0) {
            const int found = kernels_.sadSearch(cur, current.stride, reference.Row(y0) + x0,
                                                 reference.stride, rows, offsets, pending, &best);
            if (found >= 0) bestPel = {positionX[found], positionY[found]};
        }
        pending = 0;
    };
    const auto add = [&](int rx, int ry) {
        const int dx = centre.x + rx;
        const int dy = centre.y + ry;
        if (!inside(dx, dy)) return;
        if (pending == kSpiralBatch) flush();
        positionX[pending] = dx;
        positionY[pending] = dy;
        offsets[pending++] = static_cast<ptrdiff_t>(dy) * reference.stride + dx;
    };
    const SpiralTable& spiral = Spiral();
    const bool boxInside = radius <= kTabledRings && centre.x - radius >= window.left &&
                           centre.x + radius <= window.right && centre.y - radius >= window.up &&
                           centre.y + radius <= window.down;
    if (boxInside && best > 0) {
        // Every position of every ring is inside: the spiral's offsets for
        // this stride serve as they are, around the centre.
        const ptrdiff_t* spiralOffsets = SpiralOffsets(reference.stride);
        const int positions = spiral.ringStart[radius + 1];
        if (!spiralOffsets) {
            for (int i = 0; i < positions; ++i) {
                offsets[i] = static_cast<ptrdiff_t>(spiral.positions[i].y) * reference.stride +
                             spiral.positions[i].x;
            }
            spiralOffsets = offsets;
        }
        const int found =
            kernels_.sadSearch(cur, current.stride, reference.Row(y0 + centre.y) + x0 + centre.x,
                               reference.stride, rows, spiralOffsets, positions, &best);
        if (found >= 0) {
            bestPel = {centre.x + spiral.positions[found].x, centre.y + spiral.positions[found].y};
        }
    }
    for (int k = 1; k <= radius && best > 0 && !boxInside; ++k) {
        if (k <= kTabledRings) {
            for (int i = spiral.ringStart[k]; i < spiral.ringStart[k + 1]; ++i)
                add(spiral.positions[i].x, spiral.positions[i].y);
        } else {
            VisitRing(k, add);
        }
        // A ring that leaves the buffer fuller than the next ring could need
        // is sent now, so that a perfect match stops the walk.
        if (pending + 8 * (k + 1) > kSpiralBatch) flush();
    }
    flush();

    // Half-sample positions: the reference block may not reach past the
    // window, whose edges are whole samples.
    SearchResult result{{2 * bestPel.x, 2 * bestPel.y}, best};
    // The bits of the three horizontal and three vertical components.
    int costX[3] = {};
    int costY[3] = {};
    if (cost) {
        for (int h = 0; h < 3; ++h) {
            costX[h] = cost->sadPerBit * ComponentBits(2 * bestPel.x + h - 1 - cost->predicted.x);
            costY[h] = cost->sadPerBit * ComponentBits(2 * bestPel.y + h - 1 - cost->predicted.y);
        }
    }
    int bestTotal = result.sad + costX[1] + costY[1];
    for (int hy = -1; hy <= 1; ++hy) {
        for (int hx = -1; hx <= 1; ++hx) {
            if (hx == 0 && hy == 0) continue;
            const MotionVector v{2 * bestPel.x + hx, 2 * bestPel.y + hy};
            const int px = v.x >> 1;
            const int py = v.y >> 1;
            if (!inside(px, py) || !inside(px + (v.x & 1), py + (v.y & 1))) continue;
            const int vectorCost = costX[hx + 1] + costY[hy + 1];
            if (vectorCost >= bestTotal) continue;
            const int sad = sadAt(px, py, HalfPelIndex(v.x & 1, v.y & 1), bestTotal - vectorCost);
            if (sad + vectorCost < bestTotal) {
                bestTotal = sad + vectorCost;
                result = {v, sad};
            }
        }
    }
    return result;
}

}  // namespace korvan
