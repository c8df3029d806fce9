#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/training_host.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

using test::FakeHost;
using test::MakeState;

// 60 points of both classes at random places: many stay wrong for a while, so the premphase
// pass and the error orders have work.
std::unique_ptr<KestroState> MixedState(std::string_view structure) {
    SetRandomSeed(777);
    std::vector<SamplePoint> points;
    for (int k = 0; k < 60; ++k) {
        const float x = RandomUniform(-1, 1);
        const float y = RandomUniform(-1, 1);
        points.push_back({x, y, x * y > 0 ? 0 : 1, false});
    }
    auto state = MakeState(points, structure);
    state->controls.resetAtBeginning = false;
    state->controls.autoDecrease = true;
    RandomizeWeights(0.1f, 0.5f);
    return state;
}

std::vector<float> Parameters() {
    std::vector<float> values(static_cast<size_t>(ParameterCount()));
    CopyParameters(values.data());
    return values;
}

// Bit-for-bit equality of two networks' parameters (NaN and -0 included) but for the input
// neurons' biases, which hold the inputs of the latest evaluation, not trained values.
testing::AssertionResult SameBits(const std::vector<float>& a, const float* b) {
    const auto total = static_cast<size_t>(LayerSize(-1));
    for (size_t i = 0; i < a.size(); ++i)
        if (i != 0 && i != 1 && i != total && i != total + 1 &&
            std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return testing::AssertionFailure()
                   << "value " << i << " of " << a.size() << ": " << a[i] << " vs " << b[i];
    return testing::AssertionSuccess();
}

// Everything a continued run depends on.
void ExpectSameTraining(const KestroState& a, const std::vector<float>& networkA,
                        uint32_t generatorA, const KestroState& b, bool sameSlots = true) {
    EXPECT_TRUE(SameBits(networkA, Parameters().data()));
    EXPECT_EQ(generatorA, RandomSeed());
    EXPECT_EQ(a.epochCount, b.epochCount);
    EXPECT_EQ(a.presentationCount, b.presentationCount);
    EXPECT_EQ(a.learnParameters.ni, b.learnParameters.ni);
    EXPECT_EQ(a.classificationError, b.classificationError);
    EXPECT_EQ(a.lastError, b.lastError);
    EXPECT_EQ(a.lastFallEpoch, b.lastFallEpoch);
    EXPECT_EQ(a.saturated, b.saturated);
    ASSERT_EQ(a.orderCount, b.orderCount);
    EXPECT_TRUE(std::equal(a.orderArray, a.orderArray + a.orderCount, b.orderArray));
    ASSERT_EQ(a.pointSet.count, b.pointSet.count);
    for (int32_t p = 0; p < a.pointSet.count; ++p)
        EXPECT_EQ(a.pointSet.points[p].correct, b.pointSet.points[p].correct) << p;
    for (int s = 0; s < HistorySeriesCount; ++s) {
        const ErrorHistory& ha = a.histories.series[s];
        const ErrorHistory& hb = b.histories.series[s];
        ASSERT_EQ(ha.count, hb.count);
        ASSERT_EQ(ha.step, hb.step);
        for (int32_t k = 0; sameSlots && k < UsedSlots(ha); ++k) {
            EXPECT_EQ(ha.slot[k].min, hb.slot[k].min);
            EXPECT_EQ(ha.slot[k].max, hb.slot[k].max);
        }
    }
}

class Timelines : public testing::Test {
  protected:
    void SetUp() override { SetVectorPathsEnabled(true); }
};

// A sequence of Steps is the run, presentation for presentation: same network, counters,
// generator, flags, histories and checkpoints, for every order, with and without premphase,
// over epochs that swap, decay and checkpoint.
TEST_F(Timelines, StepsGiveTheRunsNetworkBitForBit) {
    for (int32_t order = 0; order <= 5; ++order) {
        for (const bool premphase : {false, true}) {
            SCOPED_TRACE(testing::Message() << "order " << order << " premphase " << premphase);
            auto start = MixedState("2:5:2");
            start->controls.orderIndex = order;
            start->controls.premphase = premphase;
            const NetworkValues network = TakeNetworkValues();
            const uint32_t generator = RandomSeed();

            KestroState& run = *start;
            auto stepped = std::make_unique<KestroState>(run);
            run.learnMode = -6;
            FakeHost runHost(run);
            Learn(run, runHost);
            const std::vector<float> runNetwork = Parameters();
            const uint32_t runGenerator = RandomSeed();

            PutNetworkValues(network);
            SetRandomSeed(generator);
            FakeHost stepHost(*stepped);
            int64_t steps = 0;
            while (stepped->presentationCount < run.presentationCount && steps < 100000) {
                ASSERT_TRUE(Step(*stepped, stepHost).has_value());
                ++steps;
            }
            EXPECT_EQ(steps, run.presentationCount);
            EXPECT_FALSE(stepped->stepping.inEpoch);  // the sixth epoch's end steps ran
            EXPECT_EQ(stepHost.CheckpointEpochs(), runHost.CheckpointEpochs());
            ExpectSameTraining(run, runNetwork, runGenerator, *stepped);
            for (int32_t i = 0; i < run.pointSet.count; ++i)
                EXPECT_EQ(run.orderArray[i], stepped->orderArray[i]);
        }
    }
}

// What a Step records: the point presented, its answer before the step, the network's
// outputs before and after it and every change it made.
TEST_F(Timelines, AStepRecordsItsPresentation) {
    auto state = MixedState("2:5:5:5:2");
    state->controls.orderIndex = OrderRandom;
    FakeHost host(*state);
    const NetworkValues before = TakeNetworkValues();
    const uint32_t generator = RandomSeed();
    const auto record = Step(*state, host);
    ASSERT_TRUE(record.has_value());
    // The order draws the point from the same generator.
    SetRandomSeed(generator);
    EXPECT_EQ(record->point, RandomInt(state->pointSet.count));
    const SamplePoint& p = state->pointSet.points[record->point];
    EXPECT_EQ(record->classIndex, p.classIndex);
    EXPECT_EQ(record->correct, p.correct);
    EXPECT_EQ(record->epoch, 1);
    const NetworkValues after = TakeNetworkValues();
    ASSERT_EQ(record->weightChange.size(), after.weight.size());
    for (size_t w = 0; w < after.weight.size(); ++w)
        EXPECT_EQ(record->weightChange[w], after.weight[w] - before.weight[w]);
    // The outputs after the step are those of the changed network.
    float maxOutput = 0;
    const int32_t winner = Evaluate(p.x, p.y, maxOutput);
    EXPECT_EQ(record->outputsAfter[static_cast<size_t>(winner)], maxOutput);
    EXPECT_NE(record->outputsBefore, record->outputsAfter);
    EXPECT_TRUE(state->lastStep.has_value());

    // Points deleted between Steps, below the pass's position: the epoch ends and the next one
    // presents only points that still exist.
    for (int k = 0; k < 30; ++k)
        Step(*state, host);
    ASSERT_EQ(state->stepping.index, 31);
    state->pointSet.count = 20;
    const auto next = Step(*state, host);
    ASSERT_TRUE(next.has_value());
    EXPECT_LT(next->point, 20);
    EXPECT_EQ(next->epoch, 2);
    EXPECT_EQ(host.CheckpointEpochs(), (std::vector<int64_t>{1}));

    // A Reset ends the sequence and forgets the record.
    ResetNetwork(*state, host);
    EXPECT_FALSE(state->lastStep.has_value());
    EXPECT_FALSE(state->stepping.active);
}

// The thinning keeps exactly the epochs that are multiples of the smallest power of two that
// leaves at most TimelineCapacity of them, each with its own network and order array, within a
// fixed memory.
TEST_F(Timelines, ThinningKeepsTheRightEpochsInBoundedMemory) {
    constexpr int32_t size = 1008;  // 2:100:2 with its previous values
    // Each entry's network and the 16-bit order array of 2000 points.
    const size_t bound =
        static_cast<size_t>(TimelineCapacity) *
        (sizeof(TimelineEntry) + static_cast<size_t>(size) * sizeof(float) + MaxPoints * 2);
    std::printf("timeline bound: %zu bytes for %d entries\n", bound, TimelineCapacity);
    Timeline timeline;
    std::vector<float> network(size);
    std::vector<int32_t> order(MaxPoints);
    for (int64_t epoch = 1; epoch <= 70000; ++epoch) {
        network.assign(size, static_cast<float>(epoch));
        order.front() = static_cast<int32_t>(epoch % MaxPoints);
        order.back() = static_cast<int32_t>(epoch * 7 % MaxPoints);
        TimelineEntry entry;
        entry.epoch = epoch;
        if (float* kept = KeepInTimeline(timeline, entry, size, order))
            std::copy(network.begin(), network.end(), kept);
        ASSERT_LE(TimelineBytes(timeline), bound);
        if (epoch != 1000 && epoch != 1001 && epoch != 2001 && epoch != 2002 && epoch != 70000)
            continue;
        int64_t step = 1;
        while (epoch / step > TimelineCapacity)
            step *= 2;
        EXPECT_EQ(timeline.step, step) << epoch;
        ASSERT_EQ(static_cast<int64_t>(timeline.entries.size()), epoch / step) << epoch;
        for (size_t i = 0; i < timeline.entries.size(); ++i) {
            const int64_t kept = static_cast<int64_t>(i + 1) * step;
            ASSERT_EQ(timeline.entries[i].epoch, kept);
            ASSERT_EQ(timeline.Values(static_cast<int32_t>(i))[size - 1], static_cast<float>(kept));
            const uint16_t* keptOrder = timeline.Order(static_cast<int32_t>(i));
            ASSERT_EQ(timeline.entries[i].orderCount, MaxPoints);
            ASSERT_EQ(keptOrder[0], kept % MaxPoints);
            ASSERT_EQ(keptOrder[MaxPoints - 1], kept * 7 % MaxPoints);
        }
    }
    // At step 128: epoch 69632 = 544 x 128 is entry 543; an epoch between is not kept.
    EXPECT_EQ(FindTimelineEpoch(timeline, 69632), 543);
    EXPECT_EQ(FindTimelineEpoch(timeline, 69633), -1);
}

// The network kept for epoch E is the network of a run stopped after epoch E, and Continue
// From Here makes that run's whole state current, its order and start included: with nothing
// changed, Learn (or Steps) from there follow the uninterrupted run bit for bit to its end, also
// when the histories have halved before E (no extra checkpoint right after E).
TEST_F(Timelines, ContinuingFromAKeptEpochFollowsTheUninterruptedRun) {
    struct Case {
        int32_t epochs, kept;
    };
    for (const Case c : {Case{40, 17}, Case{2300, 2100}}) {
        SCOPED_TRACE(testing::Message() << "epoch " << c.kept << " of " << c.epochs);
        auto state = MixedState("2:10:2");
        state->controls.orderIndex = OrderSwappingPermutation;
        state->controls.premphase = true;  // the flags steer the premphase pass
        const NetworkValues network = TakeNetworkValues();
        const uint32_t generator = RandomSeed();
        auto stopped = std::make_unique<KestroState>(*state);
        stopped->learnMode = -c.kept;
        FakeHost stoppedHost(*stopped);
        Learn(*stopped, stoppedHost);
        const std::vector<float> stoppedNetwork = Parameters();
        const uint32_t stoppedGenerator = RandomSeed();

        PutNetworkValues(network);
        SetRandomSeed(generator);
        KestroState& longRun = *state;
        longRun.learnMode = -c.epochs;
        FakeHost longHost(longRun);
        Learn(longRun, longHost);
        const std::vector<float> now = Parameters();
        const uint32_t nowGenerator = RandomSeed();
        const auto whole = std::make_unique<KestroState>(longRun);

        // Showing an entry and coming back leaves the current network as it was.
        const int32_t kept = FindTimelineEpoch(longRun.timeline, c.kept);
        ASSERT_GE(kept, 0);
        ShowTimelineEntry(longRun, kept);
        EXPECT_TRUE(SameBits(stoppedNetwork, Parameters().data()));
        EXPECT_TRUE(SameBits(stoppedNetwork, longRun.timeline.Values(kept)));
        EXPECT_EQ(longRun.timeline.entries[static_cast<size_t>(kept)].generator, stoppedGenerator);
        ReturnToNow(longRun);
        EXPECT_TRUE(SameBits(now, Parameters().data()));

        ShowTimelineEntry(longRun, kept);
        ContinueFromHere(longRun);
        EXPECT_EQ(longRun.timeline.entries.size(), static_cast<size_t>(kept) + 1);
        EXPECT_EQ(longRun.timeline.shown, -1);
        ExpectSameTraining(*stopped, stoppedNetwork, stoppedGenerator, longRun);

        // With its Reset at the start checked, the continued run still skips it, and its learn
        // mode counts from the run's own start.
        longRun.controls.resetAtBeginning = true;
        const int64_t checkpoints = static_cast<int64_t>(longHost.checkpoints.size());
        Learn(longRun, longHost);
        ExpectSameTraining(*whole, now, nowGenerator, longRun);
        EXPECT_EQ(longRun.epochCount, c.epochs);
        EXPECT_EQ(longRun.timeline.entries.size(), whole->timeline.entries.size());
        EXPECT_EQ(static_cast<int64_t>(longHost.checkpoints.size()) - checkpoints,
                  (c.epochs - c.kept) / longRun.histories.series[ErrorSeries].step);

        // Steps continue it as well, presentation for presentation.
        ShowTimelineEntry(longRun, FindTimelineEpoch(longRun.timeline, c.kept));
        ContinueFromHere(longRun);
        while (longRun.presentationCount < whole->presentationCount)
            ASSERT_TRUE(Step(longRun, longHost).has_value());
        EXPECT_FALSE(longRun.stepping.inEpoch);
        ExpectSameTraining(*whole, now, nowGenerator, longRun);

        // A Reset empties the timeline, and so does a structure choice.
        ResetNetwork(longRun, longHost);
        EXPECT_TRUE(longRun.timeline.entries.empty());
        longRun.learnMode = -3;
        Learn(longRun, longHost);
        Step(longRun, longHost);
        ASSERT_EQ(longRun.timeline.entries.size(), 3u);
        ChangeStructure(longRun, FindStructure("2:5:2"));
        EXPECT_TRUE(longRun.timeline.entries.empty());
        EXPECT_FALSE(longRun.stepping.active);
        EXPECT_FALSE(longRun.lastStep.has_value());
    }
}

}  // namespace
}  // namespace kestro
