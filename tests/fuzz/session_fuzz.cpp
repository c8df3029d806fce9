// libFuzzer target for the session file's reader. Whatever the bytes, reading must not fail
// but by refusing; a session it accepts must hold what opening it relies on (counts and indices
// in range, networks that fit the structure, histories as appending leaves them), written back
// and read again it must give the same text, and opened it must take what a user does next
// without a fault: Steps, short runs, Continue From Here and Restart.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"

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

// Opens the session and trains on from it as a user would: a Step, a run of one epoch (learn
// mode -1), Continue From Here from the latest kept epoch with a Step and a run, and Restart
// with a Step and a run. An assertion (which throws) or a sanitizer's report is a fault.
void TrainOn(const SessionData& session) {
    static auto state = std::make_unique<KestroState>();
    *state = KestroState{};
    ApplySession(session, *state);
    state->learnMode = -1;
    NoWindowHost host;
    const auto stepAndRun = [&] {
        Step(*state, host);
        Learn(*state, host);
    };
    stepAndRun();
    if (!state->timeline.entries.empty()) {
        ShowTimelineEntry(*state, static_cast<int32_t>(state->timeline.entries.size()) - 1);
        ContinueFromHere(*state);
        stepAndRun();
    }
    RestartNetwork(*state, host);
    stepAndRun();
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
    Check(FindLearnModeItem(s.learnMode) != nullptr);

    const std::string written = SessionJson(*session);
    *again = SessionData{};
    Check(ParseSession(written, *again, message));
    Check(SessionJson(*again) == written);
    TrainOn(*session);
    return 0;
}
