// libFuzzer target for the points-file reader. Whatever the bytes, reading must not fail, must
// keep every stored point valid, must give the same points however the bytes are split into
// pieces, and a set written back and read again must keep its points and classes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "core/units/glowny/pointsfile.h"

using namespace kestro;

namespace {

PointSet whole;
PointSet pieces;
PointSet again;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

bool SamePoint(const SamplePoint& a, const SamplePoint& b) {
    return std::memcmp(&a.x, &b.x, sizeof a.x) == 0 && std::memcmp(&a.y, &b.y, sizeof a.y) == 0 &&
           a.classIndex == b.classIndex && a.correct == b.correct;
}

// The six-decimal text of v read back differs from v by at most half a unit of the last decimal
// plus the rounding to float.
bool CloseAfterRoundTrip(float written, float read) {
    const double bound = 5e-7 + 1e-6 * std::fabs(static_cast<double>(written));
    return std::fabs(static_cast<double>(written) - static_cast<double>(read)) <= bound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    ParsePointsBytes(bytes, whole);
    Check(whole.count >= 0 && whole.count <= MaxPoints);
    for (int32_t i = 0; i < whole.count; ++i) {
        const SamplePoint& p = whole.points[i];
        Check(p.classIndex >= 0 && p.classIndex <= 8);
        Check(p.correct);
        Check(std::isfinite(p.x) && std::isfinite(p.y));
    }

    // Pieces of 1 to 10 bytes, their lengths taken from the data itself.
    PointsReader reader(pieces);
    size_t pos = 0;
    size_t k = 0;
    while (pos < size) {
        const size_t length = data[k % size] % 10 + 1;
        const size_t n = length < size - pos ? length : size - pos;
        reader.Feed(bytes.substr(pos, n));
        pos += n;
        ++k;
    }
    reader.Finish();
    Check(pieces.count == whole.count);
    for (int32_t i = 0; i < whole.count; ++i)
        Check(SamePoint(pieces.points[i], whole.points[i]));

    ParsePointsBytes(PointsFileBytes(whole), again);
    Check(again.count == whole.count);
    for (int32_t i = 0; i < whole.count; ++i) {
        Check(again.points[i].classIndex == whole.points[i].classIndex);
        Check(CloseAfterRoundTrip(whole.points[i].x, again.points[i].x));
        Check(CloseAfterRoundTrip(whole.points[i].y, again.points[i].y));
    }
    return 0;
}
