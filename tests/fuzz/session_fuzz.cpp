// libFuzzer target for the session file's reader. Whatever the bytes, reading must not fail
// but by refusing; a session it accepts must hold what opening it relies on (counts and indices
// in range, networks that fit the structure, histories as appending leaves them), and written
// back and read again it must give the same text.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"

using namespace kestro;

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

// The network's values fit the layer sizes, as PutNetworkValues requires.
void CheckNetwork(const NetworkValues& n, const std::vector<int32_t>& sizes) {
    Check(n.layerSizes == sizes);
    size_t neurons = 0, weights = 0;
    for (size_t l = 0; l < sizes.size(); ++l) {
        neurons += static_cast<size_t>(sizes[l]);
        if (l > 0)
            weights += static_cast<size_t>(sizes[l]) * static_cast<size_t>(sizes[l - 1]);
    }
    Check(n.bias.size() == neurons && n.previousBias.size() == neurons &&
          n.delta.size() == neurons && n.output.size() == neurons);
    Check(n.weight.size() == weights && n.previousWeight.size() == weights);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto session = std::make_unique<SessionData>();
    static auto again = std::make_unique<SessionData>();
    *session = SessionData{};
    std::string message;
    if (!ParseSession(std::string_view(reinterpret_cast<const char*>(data), size), *session,
                      message)) {
        Check(!message.empty());
        return 0;
    }
    const KestroState& s = session->state;
    Check(s.structureIndex >= 0 && s.structureIndex < static_cast<int32_t>(StructureTexts.size()));
    CheckNetwork(session->network, session->network.layerSizes);
    CheckNetwork(s.restartNetwork, session->network.layerSizes);
    Check(s.pointSet.count >= 0 && s.pointSet.count <= MaxPoints);
    for (int32_t i = 0; i < s.pointSet.count; ++i)
        Check(s.pointSet.points[i].classIndex >= 0 && s.pointSet.points[i].classIndex <= 8);
    Check(s.orderCount >= 0 && s.orderCount <= MaxPoints);
    for (int32_t i = 0; i < s.orderCount; ++i)
        Check(s.orderArray[i] >= 0 && s.orderArray[i] < s.orderCount);
    for (const ErrorHistory& h : s.histories.series) {
        Check(h.step >= 1 && std::has_single_bit(static_cast<uint64_t>(h.step)));
        Check(h.count >= 0 && UsedSlots(h) <= HistorySlots);
        Check(h.count == s.histories.series[0].count && h.step == s.histories.series[0].step);
    }
    Check(s.controls.orderIndex >= 0 && s.controls.orderIndex <= 4);
    bool modeOffered = false;  // (learnparams.cpp is not linked: it builds networks)
    for (const LearnModeItem& item : LearnModeItems)
        modeOffered = modeOffered || item.tag == s.learnMode;
    Check(modeOffered);

    const std::string written = SessionJson(*session);
    *again = SessionData{};
    Check(ParseSession(written, *again, message));
    Check(SessionJson(*again) == written);
    return 0;
}
