#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/training_host.h"
#include "core/units/errors.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

using test::FakeHost;
using test::FreezeAnsweringZero;
using test::MakeState;
using test::Points;

// The number of RandomInt draws between two generator states.
int64_t DrawsBetween(uint32_t from, uint32_t to) {
    SetRandomSeed(from);
    for (int64_t k = 0; k < 1000000; ++k) {
        if (RandomSeed() == to)
            return k;
        RandomInt(1);
    }
    return -1;
}

class Training : public testing::Test {
  protected:
    void SetUp() override {
        SetVectorPathsEnabled(true);
        SetRandomSeed(12345);
    }
    void TearDown() override { SetVectorPathsEnabled(true); }
};

TEST_F(Training, LearnWithNoPointsDoesNothing) {
    auto state = MakeState({});
    FakeHost host(*state);
    state->epochCount = 7;
    const uint32_t seed = RandomSeed();
    Learn(*state, host);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(state->epochCount, 7);
    EXPECT_FALSE(state->learning);
    EXPECT_EQ(RandomSeed(), seed);
}

TEST_F(Training, OneEpochModeRunsOneEpochWithACheckpoint) {
    auto state = MakeState(Points(10, 0));
    state->learnMode = -1;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 1);
    EXPECT_EQ(state->presentationCount, 10);
    EXPECT_EQ(host.CheckpointEpochs(), std::vector<int64_t>{1});
    EXPECT_FALSE(state->learning);
    // Start: focus, Reset (blacken, status, points), controls, graph; end: status and pictures.
    const std::vector<std::string> expected = {"RunStarting",   "ClearViews",  "Status(0,0)@0",
                                               "Draw(0,1)@0",   "Disable",     "ClearErrorGraph",
                                               "Status(0,0)@1", "Draw(4,1)@1", "Draw(1,1)@1",
                                               "Enable",        "RunEnded"};
    EXPECT_EQ(host.log, expected);
}

TEST_F(Training, LearningIsTrueDuringTheRunAndStopIsClearedAtItsStart) {
    auto state = MakeState(Points(4, 0));
    state->learnMode = LearnModeContinuous;
    state->stopRequested = true;  // an earlier Exit or Stop does not prevent the next run
    FakeHost host(*state);
    bool learningSeen = true;
    host.onDispatch = [&](int64_t d) {
        learningSeen = learningSeen && state->learning;
        if (d == 5)
            RequestStop(*state);
    };
    Learn(*state, host);
    EXPECT_TRUE(learningSeen);
    EXPECT_EQ(state->epochCount, 5);
    EXPECT_EQ(host.checkpoints.size(), 5u);  // the stopped epoch completes with its checkpoint
}

TEST_F(Training, CheckpointCadenceAfterAReset) {
    auto state = MakeState({{-0.5f, 0, 0, true}, {0.5f, 0, 1, true}});
    state->learnMode = LearnModeContinuous;
    FakeHost host(*state);
    host.StopAfter(4100);
    Learn(*state, host);
    const std::vector<int64_t> epochs = host.CheckpointEpochs();
    // Every epoch up to 2001, whose checkpoint halves the histories ...
    for (int64_t e = 1; e <= 2001; ++e)
        ASSERT_EQ(epochs[e - 1], e);
    // ... then the even epochs, and from epoch 4000 on every fourth.
    size_t k = 2001;
    for (int64_t e = 2002; e <= 4000; e += 2, ++k)
        ASSERT_EQ(epochs[k], e);
    for (int64_t e = 4004; e <= 4100; e += 4, ++k)
        ASSERT_EQ(epochs[k], e);
    EXPECT_EQ(k, epochs.size());
    for (const ErrorHistory& h : state->histories.series) {
        EXPECT_EQ(h.step, 4);
        EXPECT_EQ(h.count, 4101);  // about one value per epoch
    }
}

TEST_F(Training, ContinuedRunCheckpointsItsFirstEpochAndAppendsStepCopies) {
    auto state = MakeState({{-0.5f, 0, 0, true}, {0.5f, 0, 1, true}});
    state->learnMode = -2100;
    FakeHost host(*state);
    Learn(*state, host);
    ASSERT_EQ(state->histories.series[ErrorSeries].step, 2);
    const int64_t countBefore = state->histories.series[ErrorSeries].count;
    state->controls.resetAtBeginning = false;
    state->learnMode = -1;
    host.checkpoints.clear();
    Learn(*state, host);  // epoch 2101: odd, but the first of its run
    EXPECT_EQ(host.CheckpointEpochs(), std::vector<int64_t>{2101});
    EXPECT_EQ(state->histories.series[ErrorSeries].count, countBefore + 2);
}

// --- stop rules ---

TEST_F(Training, LearnModeEndTests) {
    EXPECT_FALSE(LearnModeEnds(LearnModeContinuous, 0, 100000));
    EXPECT_TRUE(LearnModeEnds(LearnModeHard, 0, 1));
    EXPECT_FALSE(LearnModeEnds(LearnModeHard, 1.0f / 400, 1));
    // 1 in 100 and 3 in 100 pass their tests, made in double against the stored float.
    EXPECT_TRUE(LearnModeEnds(LearnModeNormal, static_cast<float>(1.0 / 100), 1));
    EXPECT_FALSE(LearnModeEnds(LearnModeNormal, static_cast<float>(2.0 / 100), 1));
    EXPECT_TRUE(LearnModeEnds(LearnModeSoft, static_cast<float>(3.0 / 100), 1));
    EXPECT_TRUE(LearnModeEnds(LearnModeSoft, static_cast<float>(6.0 / 200), 1));
    EXPECT_FALSE(LearnModeEnds(LearnModeSoft, static_cast<float>(4.0 / 100), 1));
    EXPECT_FALSE(LearnModeEnds(-10, 0, 9));
    EXPECT_TRUE(LearnModeEnds(-10, 0.5f, 10));
    EXPECT_TRUE(LearnModeEnds(-10000, 0.5f, 10000));
    EXPECT_FALSE(LearnModeEnds(-10000, 0.5f, 9999));
    EXPECT_TRUE(LearnModeEnds(-7, 0.5f, 7));  // any count in the epoch range
    for (int32_t other : {0, 5, 10, 15, -10001})
        EXPECT_TRUE(LearnModeEnds(other, 0.5f, 1)) << other;
}

// 100 points answered class 0, `wrong` of them of class 1 at one spot beside a class-0 twin.
std::vector<SamplePoint> HundredWithWrong(int wrong) {
    std::vector<SamplePoint> points = Points(100 - wrong, 0);
    for (int k = 0; k < wrong; ++k)
        points.push_back({0.5f, 0.5f, 1, false});
    return points;
}

TEST_F(Training, NormalEndsAtExactlyOneWrongInHundred) {
    auto state = MakeState(HundredWithWrong(1));
    FreezeAnsweringZero(*state);
    state->learnMode = LearnModeNormal;
    FakeHost host(*state);
    host.StopAfter(50);
    Learn(*state, host);
    EXPECT_EQ(state->classificationError, 0.01f);
    EXPECT_EQ(state->epochCount, 1);
}

TEST_F(Training, SoftEndsAtThreeInHundredButNotAtFour) {
    auto state = MakeState(HundredWithWrong(3));
    FreezeAnsweringZero(*state);
    state->learnMode = LearnModeSoft;
    FakeHost host(*state);
    host.StopAfter(50);
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 1);

    auto four = MakeState(HundredWithWrong(4));
    FreezeAnsweringZero(*four);
    four->learnMode = LearnModeSoft;
    FakeHost host4(*four);
    host4.StopAfter(50);
    Learn(*four, host4);
    EXPECT_EQ(four->epochCount, 50);  // only the bound ended it
}

TEST_F(Training, HardWithCoincidentPointsOfBothClassesEndsOnlyByStop) {
    // A learning network: ni, momentum and decay as at start-up.
    auto state = MakeState({{0.3f, 0.3f, 0, true}, {0.3f, 0.3f, 1, true}}, "2:3:2");
    state->learnMode = LearnModeHard;
    FakeHost host(*state);
    host.StopAfter(300);
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 300);
    EXPECT_EQ(state->classificationError, 0.5f);
    EXPECT_FALSE(state->learning);
}

TEST_F(Training, EpochModesCountFromTheRunsOwnStart) {
    auto state = MakeState(Points(5, 0));
    state->learnMode = -10;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 10);
    state->controls.resetAtBeginning = false;
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 20);
    EXPECT_EQ(state->presentationCount, 100);
    state->controls.resetAtBeginning = true;
    state->learnMode = 0;  // not a mode of the menu: one epoch
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 1);
}

// --- presentation orders ---

TEST_F(Training, RandomOrdersDrawCountsWithEveryPointCorrect) {
    const int n = 25;
    // draws per epoch of n presentations: Fixed 0, Random n, Err/2 2n, Err/10 11n, Swapping 2
    const int64_t expected[5] = {0, n, 2 * n, 11 * n, 2};
    for (int32_t order = 0; order < 5; ++order) {
        auto state = MakeState(Points(n, 0));
        FreezeAnsweringZero(*state);
        state->controls.orderIndex = order;
        state->controls.verify = false;
        state->learnMode = -1;
        FakeHost host(*state);
        const uint32_t before = RandomSeed();
        Learn(*state, host);
        EXPECT_EQ(DrawsBetween(before, RandomSeed()), expected[order]) << order;
        EXPECT_EQ(state->presentationCount, n);
    }
}

TEST_F(Training, ErrorOrdersDrawOnceForWrongPoints) {
    const int n = 20;
    for (int32_t order : {OrderRandomErr2, OrderRandomErr10}) {
        auto state = MakeState(Points(n, 1, false));  // all class 1, all answered 0
        FreezeAnsweringZero(*state);
        state->controls.orderIndex = order;
        state->learnMode = -3;
        FakeHost host(*state);
        const uint32_t before = RandomSeed();
        Learn(*state, host);
        EXPECT_EQ(DrawsBetween(before, RandomSeed()), 3 * n) << order;
    }
}

TEST_F(Training, SwappingPermutationMakesOneTranspositionPerEpoch) {
    const int n = 20;
    auto state = MakeState(Points(n, 0));
    FreezeAnsweringZero(*state);
    state->learnMode = -50;
    FakeHost host(*state);
    const uint32_t before = RandomSeed();
    Learn(*state, host);
    // Replay: identity, then a = RandomInt(n), b = RandomInt(n), swap, once per epoch.
    std::vector<int32_t> expected(n);
    for (int i = 0; i < n; ++i)
        expected[i] = i;
    SetRandomSeed(before);
    for (int e = 0; e < 50; ++e) {
        const int32_t a = RandomInt(n);
        const int32_t b = RandomInt(n);
        std::swap(expected[a], expected[b]);
    }
    EXPECT_EQ(std::vector<int32_t>(state->orderArray, state->orderArray + n), expected);
}

TEST_F(Training, PremphasePresentsWrongPointsOnceMore) {
    std::vector<SamplePoint> points = Points(7, 0);
    for (const SamplePoint& p : Points(3, 1, false))
        points.push_back(p);
    auto state = MakeState(points);
    FreezeAnsweringZero(*state);
    state->controls.premphase = true;
    state->controls.orderIndex = OrderFixed;
    state->learnMode = -2;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_EQ(state->presentationCount, 2 * (10 + 3));
    state->controls.premphase = false;
    Learn(*state, host);
    EXPECT_EQ(state->presentationCount, 2 * (10 + 3) + 2 * 10);
}

// --- edits during a run ---

TEST_F(Training, DeletedPointsAreNeverPresented) {
    for (int32_t order = 0; order < 5; ++order) {
        auto state = MakeState(Points(10, 0));
        FreezeAnsweringZero(*state);
        state->controls.orderIndex = order;
        state->learnMode = -8;
        FakeHost host(*state);
        host.onDispatch = [&](int64_t d) {
            if (d != 3)
                return;
            // Delete down to 4 points after high indices were swapped to the front.
            std::swap(state->orderArray[0], state->orderArray[9]);
            std::swap(state->orderArray[1], state->orderArray[7]);
            state->pointSet.count = 4;
            for (int i = 4; i < 10; ++i)
                state->pointSet.points[i].correct = false;
        };
        Learn(*state, host);
        EXPECT_EQ(state->presentationCount, 3 * 10 + 5 * 4) << order;
        // A presentation would have set the flag: the network answers class 0 everywhere.
        for (int i = 4; i < 10; ++i)
            EXPECT_FALSE(state->pointSet.points[i].correct) << order << " " << i;
        std::vector<int32_t> perm(state->orderArray, state->orderArray + 4);
        std::sort(perm.begin(), perm.end());
        EXPECT_EQ(perm, (std::vector<int32_t>{0, 1, 2, 3})) << order;
    }
}

TEST_F(Training, AddedPointsJoinThePermutation) {
    auto state = MakeState(Points(4, 0));
    FreezeAnsweringZero(*state);
    state->learnMode = -6;
    FakeHost host(*state);
    host.onDispatch = [&](int64_t d) {
        if (d == 2)
            for (int i = 4; i < 8; ++i)
                state->pointSet.points[state->pointSet.count++] = {0.1f * i, 0, 0, false};
    };
    Learn(*state, host);
    EXPECT_EQ(state->presentationCount, 2 * 4 + 4 * 8);
    for (int i = 4; i < 8; ++i)
        EXPECT_TRUE(state->pointSet.points[i].correct) << i;
    std::vector<int32_t> perm(state->orderArray, state->orderArray + 8);
    std::sort(perm.begin(), perm.end());
    EXPECT_EQ(perm, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(Training, AnEmptiedSetEndsTheRunAfterItsEpoch) {
    auto state = MakeState(Points(6, 0), "2:4:2");
    state->learnMode = LearnModeContinuous;
    FakeHost host(*state);
    host.onDispatch = [&](int64_t d) {
        if (d == 3)
            state->pointSet.count = 0;
        if (d > 50)
            state->stopRequested = true;  // a bound, should the run not end by itself
    };
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 3);
    EXPECT_FALSE(state->learning);
    EXPECT_TRUE(std::isfinite(state->classificationError));
    EXPECT_EQ(host.statuses.back().error, "0.00% (0)");
}

// --- rate decay ---

TEST_F(Training, AutoDecreaseFromPointNineAtRatePointNine) {
    auto state = MakeState(Points(4, 0));
    state->learnParameters.epochDownRate = 0.9f;
    state->learnMode = -1;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_NEAR(state->learnParameters.ni, 0.81f, 1e-6);
    EXPECT_EQ(MakeStatusTexts(*state, 0, 0, ".").ni, "0.810");
    state->controls.resetAtBeginning = false;
    state->learnMode = -100;
    Learn(*state, host);
    for (const CheckpointValues& v : host.checkpoints)
        ASSERT_GE(v.ni, 0.015f) << v.epoch;
    EXPECT_EQ(state->learnParameters.ni, 0.015f);
}

TEST_F(Training, NiBelowItsMinimumIsRaisedAfterOneEpoch) {
    auto state = MakeState(Points(4, 0));
    state->controls.resetAtBeginning = false;
    state->learnParameters.ni = 0.005f;
    state->learnMode = -1;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_EQ(state->learnParameters.ni, 0.015f);

    state->controls.autoDecrease = false;
    state->learnParameters.ni = 0.005f;
    Learn(*state, host);
    EXPECT_EQ(state->learnParameters.ni, 0.005f);
}

// --- checkpoints ---

TEST_F(Training, CheckpointMatchesPointByPointEvaluation) {
    for (bool vector : {true, false}) {
        SetVectorPathsEnabled(vector);
        SetRandomSeed(99);
        std::vector<SamplePoint> points;
        for (int k = 0; k < 300; ++k) {
            const float x = RandomUniform(-1, 1), y = RandomUniform(-1, 1);
            points.push_back({x, y, x * y > 0.1f ? 1 : 0, true});
        }
        auto state = MakeState(points, "2:6:2");
        state->learnMode = -7;
        FakeHost host(*state);
        Learn(*state, host);
        const CheckpointValues last = host.checkpoints.back();
        // Independent recount with the scalar operations on the network as the run left it.
        int wrong = 0;
        float mseSum = 0;
        for (int p = 0; p < 300; ++p) {
            const SamplePoint& s = state->pointSet.points[p];
            float maxOutput;
            const bool right = Evaluate(s.x, s.y, maxOutput) == s.classIndex;
            ASSERT_EQ(s.correct, right) << p;
            wrong += !right;
            mseSum += OutputError(s.classIndex);
        }
        int wrongVerify = 0;
        for (const SamplePoint& r : state->verifySet.points) {
            float maxOutput;
            const bool right = Evaluate(r.x, r.y, maxOutput) == r.classIndex;
            ASSERT_EQ(r.correct, right);
            wrongVerify += !right;
        }
        EXPECT_EQ(last.classificationError, static_cast<float>(wrong / 300.0)) << vector;
        EXPECT_EQ(last.meanSquaredError, static_cast<float>(mseSum / 300.0)) << vector;
        EXPECT_EQ(last.verifyError, static_cast<float>(wrongVerify / 400.0)) << vector;
        EXPECT_EQ(state->classificationError, last.classificationError);
        // The values went into the four series in their order.
        const ErrorHistories& h = state->histories;
        EXPECT_EQ(h.series[NiSeries].slot[6].max, last.ni);
        EXPECT_EQ(h.series[ErrorSeries].slot[6].max, last.classificationError);
        EXPECT_EQ(h.series[MseSeries].slot[6].max, last.meanSquaredError);
        EXPECT_EQ(h.series[VerifySeries].slot[6].max, last.verifyError);
    }
}

TEST_F(Training, VerifyOffAppendsZero) {
    auto state = MakeState(Points(4, 0));
    FreezeAnsweringZero(*state);
    state->learnMode = -2;
    FakeHost host(*state);
    Learn(*state, host);
    EXPECT_EQ(host.checkpoints.back().verifyError, 0.5f);  // verify classes alternate
    state->controls.verify = false;
    for (SamplePoint& r : state->verifySet.points)
        r.correct = false;
    host.checkpoints.clear();
    Learn(*state, host);
    for (const CheckpointValues& v : host.checkpoints)
        EXPECT_EQ(v.verifyError, 0);
    EXPECT_EQ(state->histories.series[VerifySeries].slot[3].max, 0);
    for (const SamplePoint& r : state->verifySet.points)
        ASSERT_FALSE(r.correct);
}

// --- frames and status during the run ---

TEST_F(Training, FramesAndStatusFollowTheClock) {
    auto state = MakeState(Points(3, 0));
    state->learnMode = -20;
    FakeHost host(*state);
    host.tick = 30;  // every clock reading is 30 ms after the previous one
    Learn(*state, host);
    // Run start reads 0; the checkpoint of epoch k reads 30 k; the end reads 630.
    const std::vector<std::string> draws = {"Draw(0,1)@0",  "Draw(4,1)@4",  "Draw(4,1)@7",
                                            "Draw(4,1)@10", "Draw(4,1)@14", "Draw(4,1)@17",
                                            "Draw(4,1)@20", "Draw(4,1)@20", "Draw(1,1)@20"};
    EXPECT_EQ(host.Calls("Draw"), draws);
    const std::vector<std::string> statuses = {"Status(0,0)@0", "Status(510,510)@17",
                                               "Status(630,630)@20"};
    EXPECT_EQ(host.Calls("Status"), statuses);
}

// A paced run waits for each epoch's deadline (and draws the frames that fell due meanwhile),
// but trains exactly the epochs of a run at full speed; a Stop while it waits ends it there.
TEST_F(Training, PacedRunTrainsAsAtFullSpeed) {
    std::vector<SamplePoint> points = Points(20, 0, false);
    for (const SamplePoint& p : Points(20, 1, false))
        points.push_back({p.x + 1.0f, -p.y, 1, false});
    // The network, ni, the generator and the mean squared error history after 30 epochs.
    const auto run = [&](int32_t pace, std::vector<int64_t>& waits, size_t& frames) {
        SetRandomSeed(77);
        auto state = MakeState(points, "2:5:2");
        state->learnMode = -30;
        state->pace = pace;
        FakeHost host(*state);
        Learn(*state, host);
        waits = host.waits;
        frames = host.Calls("Draw(4,1)").size();
        std::vector<float> values(static_cast<size_t>(ParameterCount()));
        CopyParameters(values.data());
        values.push_back(state->learnParameters.ni);
        values.push_back(static_cast<float>(RandomSeed()));
        const ErrorHistory& mse = state->histories.series[MseSeries];
        for (int64_t k = 0; k < mse.count; ++k)
            values.push_back(mse.slot[k].max);
        return values;
    };
    std::vector<int64_t> fullWaits, pacedWaits;
    size_t fullFrames = 0, pacedFrames = 0;
    EXPECT_EQ(run(0, fullWaits, fullFrames), run(100, pacedWaits, pacedFrames));
    EXPECT_TRUE(fullWaits.empty());
    EXPECT_EQ(fullFrames, size_t{1});  // the clock stands still: only the end's coarse frame
    // 100 epochs per second: epoch k ends no earlier than 10 k ms after the start (the last
    // epoch ends the run without waiting); a frame at 100 and 200 ms, then the end's.
    ASSERT_EQ(pacedWaits.size(), size_t{29});
    for (size_t k = 0; k < pacedWaits.size(); ++k)
        EXPECT_EQ(pacedWaits[k], static_cast<int64_t>(10 * (k + 1)));
    EXPECT_EQ(pacedFrames, size_t{3});

    auto state = MakeState(points, "2:5:2");
    state->learnMode = LearnModeContinuous;
    state->pace = 1;
    FakeHost host(*state);
    host.onWait = [&](int64_t n) {
        if (n == 3)
            state->stopRequested = true;
    };
    Learn(*state, host);
    EXPECT_EQ(state->epochCount, 3);
    EXPECT_EQ(host.waits, (std::vector<int64_t>{1000, 2000, 3000}));
}

TEST_F(Training, OnlyAtEndDrawsNoFrameDuringTheRun) {
    auto state = MakeState(Points(3, 0));
    state->learnMode = -20;
    state->drawPeriod = 0;
    state->rasterMode = RasterMode::Areas;
    FakeHost host(*state);
    host.tick = 30;
    Learn(*state, host);
    const std::vector<std::string> draws = {"Draw(0,1)@0", "Draw(-4,1)@20", "Draw(-1,1)@20"};
    EXPECT_EQ(host.Calls("Draw"), draws);
    state->rasterMode = RasterMode::None;
    state->showPoints = false;
    host.log.clear();
    Learn(*state, host);
    const std::vector<std::string> plain = {"Draw(0,1)@0", "Draw(0,0)@20"};
    EXPECT_EQ(host.Calls("Draw"), plain);
}

TEST_F(Training, EndOfRunSpeedCountsThisRunOnly) {
    auto state = MakeState(Points(10, 0));
    state->learnMode = -10;
    FakeHost host(*state);
    host.tick = 1;
    Learn(*state, host);
    // 100 presentations; readings at start, 10 checkpoints and the end: 11 ms.
    EXPECT_EQ(host.statuses.back().time, "9 K/s, 0.0 s");
    state->controls.resetAtBeginning = false;
    Learn(*state, host);
    EXPECT_EQ(state->presentationCount, 200);
    EXPECT_EQ(host.statuses.back().time, "9 K/s, 0.0 s");
}

// --- Reset and status texts ---

TEST_F(Training, ResetReturnsCountersHistoriesAndNi) {
    auto state = MakeState(Points(5, 0), "2:3:2");
    state->learnMode = -30;
    FakeHost host(*state);
    Learn(*state, host);
    ASSERT_GT(state->histories.series[MseSeries].count, 0);
    state->controls.niPosition = 50;
    const float weight = IncomingWeight(5, 1);
    host.log.clear();
    ResetNetwork(*state, host);
    EXPECT_EQ(state->epochCount, 0);
    EXPECT_EQ(state->presentationCount, 0);
    EXPECT_EQ(state->lastStatusCount, 0);
    EXPECT_EQ(state->learnParameters.ni, 0.5f);
    for (const ErrorHistory& h : state->histories.series) {
        EXPECT_EQ(h.count, 0);
        EXPECT_EQ(h.step, 1);
    }
    EXPECT_NE(IncomingWeight(5, 1), weight);
    EXPECT_LE(std::fabs(NeuronBias(4)), 0.1f);
    // Outside a run the status describes the new network: its error, measured here point by
    // point. The view falls back to the points alone, or with Live Answer shows its answer.
    int wrong = 0;
    for (int p = 0; p < state->pointSet.count; ++p) {
        float top = 0;
        const SamplePoint& point = state->pointSet.points[p];
        wrong += Evaluate(point.x, point.y, top) != point.classIndex;
    }
    EXPECT_EQ(state->classificationError, static_cast<float>(wrong / 5.0));
    const std::vector<std::string> expected = {"ClearViews", "Status(0,0)@0", "Draw(0,1)@0"};
    EXPECT_EQ(host.log, expected);
    host.log.clear();
    state->liveAnswer = true;
    ResetNetwork(*state, host);
    EXPECT_EQ(host.Calls("Draw"), std::vector<std::string>{"Draw(1,1)@0"});
}

TEST_F(Training, StatusTexts) {
    auto state = MakeState(Points(200, 0));
    state->classificationError = static_cast<float>(3.0 / 200);
    state->presentationCount = 45678;
    state->epochCount = 300;
    state->learnParameters.ni = 0.9f;
    StatusTexts t = MakeStatusTexts(*state, 0, 0, ",");
    EXPECT_EQ(t.time, "");
    EXPECT_EQ(t.error, "1.50% (3)");
    EXPECT_EQ(t.age, "45 K (300 Epochs)");
    EXPECT_EQ(t.ni, "0.900");
    EXPECT_EQ(t.counts.total, 200);
    EXPECT_EQ(t.counts.class1, 200);
    EXPECT_EQ(t.counts.class2, 0);

    state->presentationCount = 20000;
    state->lastStatusCount = 8000;
    EXPECT_EQ(MakeStatusTexts(*state, 3400, 1000, ".").time, "12 K/s, 3.4 s");
    EXPECT_EQ(MakeStatusTexts(*state, 3400, 1000, ",").time, "12 K/s, 3,4 s");
    EXPECT_EQ(MakeStatusTexts(*state, 12999, 1000, ",").time, "12 K/s, 12 s");
    EXPECT_EQ(MakeStatusTexts(*state, 3400, 20000, ".").time, "3.4 s");  // below 1 K/s
    EXPECT_EQ(MakeStatusTexts(*state, 3400, 0, ".").time, "3.4 s");
    state->lastStatusCount = 20000;
    EXPECT_EQ(MakeStatusTexts(*state, 500, 100, ".").time, "0.5 s");

    // The count of wrong points is rounded to nearest, ties to even.
    auto four = MakeState(Points(4, 0));
    four->classificationError = 0.125f;  // 0.5 points
    EXPECT_EQ(MakeStatusTexts(*four, 0, 0, ".").error, "12.50% (0)");
    four->classificationError = 0.375f;  // 1.5 points
    EXPECT_EQ(MakeStatusTexts(*four, 0, 0, ".").error, "37.50% (2)");
}

TEST_F(Training, CheckpointDueRule) {
    EXPECT_TRUE(CheckpointDue(1, 0, 1));
    EXPECT_TRUE(CheckpointDue(2101, 2100, 2));
    EXPECT_FALSE(CheckpointDue(2103, 2100, 2));
    EXPECT_TRUE(CheckpointDue(2104, 2100, 2));
    EXPECT_THROW(CheckpointDue(5, 0, 0), EAssertionFailed);
}

// --- start-up and loading ---

TEST_F(Training, StartUpSetsTheWindowsDefaults) {
    SetRandomSeed(2026);
    auto state = std::make_unique<KestroState>();
    FakeHost host(*state);
    ASSERT_TRUE(StartUp(*state, host));
    EXPECT_EQ(state->shapeState.shapeId, ShapeWave);
    EXPECT_EQ(state->pointSet.count, 400);
    EXPECT_EQ(state->learnMode, LearnModeNormal);
    EXPECT_EQ(state->rasterMode, RasterMode::Answer);
    EXPECT_TRUE(state->showPoints);
    EXPECT_EQ(state->editState.selectedClass, SelectShapeClass);
    EXPECT_EQ(state->drawPeriod, 100);
    ASSERT_EQ(LayerCount(), 3);
    EXPECT_EQ(LayerSize(1), 10);
    const LearnParameters& p = state->learnParameters;
    EXPECT_EQ(p.ni, 0.9f);
    EXPECT_EQ(p.niMinimal, 0.015f);
    EXPECT_EQ(p.downFactor, 0.99977f);
    EXPECT_EQ(p.epochDownRate, EpochDownRate(0.99977f, 400));
    EXPECT_EQ(p.alpha, 0.7f);
    EXPECT_EQ(state->epochCount, 0);
    EXPECT_FALSE(state->learning);
    // The same seed gives the same points and weights.
    const float weight = IncomingWeight(12, 4);
    const SamplePoint last = state->pointSet.points[399];
    SetRandomSeed(2026);
    auto again = std::make_unique<KestroState>();
    FakeHost host2(*again);
    ASSERT_TRUE(StartUp(*again, host2));
    EXPECT_EQ(IncomingWeight(12, 4), weight);
    EXPECT_EQ(again->pointSet.points[399].x, last.x);
    EXPECT_EQ(again->pointSet.points[399].classIndex, last.classIndex);
}

TEST_F(Training, OpeningAPointsFileRecomputesTheEpochDownRate) {
    auto state = MakeState(Points(100, 0));
    FakeHost host(*state);
    state->learnMode = -3;
    Learn(*state, host);
    ASSERT_GT(state->histories.series[ErrorSeries].count, 0);

    const std::filesystem::path missing =
        std::filesystem::temp_directory_path() / "kestro_training_test_missing.points";
    std::filesystem::remove(missing);
    EXPECT_EQ(OpenPointsFile(*state, host, missing).status, FileStatus::NotAFile);
    EXPECT_EQ(state->pointSet.count, 100);
    EXPECT_GT(state->histories.series[ErrorSeries].count, 0);

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kestro_training_test.points";
    {
        std::ofstream file(path, std::ios::binary);
        file << "; comment\n0.5\t-0.25\t1\n0\t1\t2\n-0.75\t0.125\t2\n";
    }
    host.log.clear();
    const FileResult result = OpenPointsFile(*state, host, path);
    std::filesystem::remove(path);
    EXPECT_EQ(result.status, FileStatus::Done);
    EXPECT_EQ(state->pointSet.count, 3);
    EXPECT_EQ(state->learnParameters.epochDownRate, EpochDownRate(0.99977f, 3));
    EXPECT_EQ(state->histories.series[ErrorSeries].count, 0);
    const std::vector<std::string> expected = {"Status(0,0)@3", "Draw(0,1)@3"};
    EXPECT_EQ(host.log, expected);
}

// --- saturation ---

// A run is saturated when its error has not fallen for 1000 epochs and every wrong point's
// deltas have vanished; a still error alone (here ni is 0 and the outputs are +-0.987) is not.
TEST_F(Training, SaturationNeedsAStillErrorAndVanishedDeltas) {
    std::vector<SamplePoint> points = Points(3, 0);
    for (const SamplePoint& p : Points(3, 1))
        points.push_back(p);
    auto state = MakeState(points);
    FreezeAnsweringZero(*state);
    FakeHost host(*state);
    state->learnMode = -static_cast<int32_t>(SaturationEpochs + 1);
    Learn(*state, host);
    EXPECT_FALSE(state->saturated);
    EXPECT_EQ(MakeStatusTexts(*state, 0, 0, ".").hint, "");

    // Outputs +1 and -1 to the last bit: the three class-2 points cannot be corrected.
    SetNeuronBias(2, 100);
    SetNeuronBias(3, -100);
    EXPECT_TRUE(WrongPointsSaturated(state->pointSet));
    state->learnMode = -static_cast<int32_t>(SaturationEpochs - 1);
    Learn(*state, host);  // too short a run to tell
    EXPECT_FALSE(state->saturated);
    // (Checkpoints now come every second epoch: a few epochs more reach the 1000.)
    state->learnMode = -static_cast<int32_t>(SaturationEpochs + 3);
    Learn(*state, host);
    EXPECT_TRUE(state->saturated);
    EXPECT_EQ(MakeStatusTexts(*state, 0, 0, ".").hint,
              "No progress for 1000 epochs: the wrongly answered points no longer move the "
              "weights. Reset Network (F5) or a lower ni may help.");
    ResetNetwork(*state, host);
    EXPECT_FALSE(state->saturated);

    // Any fall of the error clears the flag at once, also one to no new low: the error goes
    // 3, 2, 3 wrong of 6, stalls until saturated, then falls to 2 again.
    FreezeAnsweringZero(*state);
    SetNeuronBias(2, 100);
    SetNeuronBias(3, -100);
    state->learnMode = LearnModeContinuous;
    SamplePoint& flipped = state->pointSet.points[state->pointSet.count - 1];
    int64_t saturatedAt = 0;
    host.onDispatch = [&](int64_t d) {
        if (d == 1 || d == 3)
            flipped.classIndex = d == 1 ? 0 : 1;
        if (saturatedAt > 0) {
            state->stopRequested = true;
        } else if (state->saturated) {
            saturatedAt = state->epochCount;
            flipped.classIndex = 0;
        }
    };
    Learn(*state, host);
    EXPECT_GT(saturatedAt, SaturationEpochs);
    EXPECT_EQ(state->classErrors.Wrong(), 2);
    EXPECT_FALSE(state->saturated);
}

// --- golden run ---

// FNV-1a over 64 bits.
struct Hash {
    uint64_t value = 1469598103934665603ull;
    void Add(uint64_t v) {
        for (int b = 0; b < 8; ++b) {
            value ^= (v >> (8 * b)) & 0xFF;
            value *= 1099511628211ull;
        }
    }
    void Add(float v) { Add(static_cast<uint64_t>(std::bit_cast<uint32_t>(v))); }
};

// Two runs on a fixed point set: 2:5:5:2, premphase, swapping permutation, 300 epochs; then a
// continued run of 60 epochs in Random Err/10 order without Verify. The hash covers every
// weight and bias (and previous ones), the four histories, the counters, ni and the flags.
uint64_t GoldenRunHash() {
    SetRandomSeed(20240601);
    std::vector<SamplePoint> points;
    for (int k = 0; k < 150; ++k) {
        const float x = RandomUniform(-1, 1), y = RandomUniform(-1, 1);
        points.push_back({x, y, x * x + y * y < 0.4f ? 1 : 0, true});
    }
    auto state = MakeState(points, "2:5:5:2");
    state->controls.premphase = true;
    state->learnMode = -300;
    FakeHost host(*state);
    Learn(*state, host);
    state->controls.resetAtBeginning = false;
    state->controls.orderIndex = OrderRandomErr10;
    state->controls.verify = false;
    state->learnMode = -60;
    Learn(*state, host);

    Hash h;
    for (int i = 0; i < LayerSize(-1); ++i) {
        h.Add(NeuronBias(i));
        h.Add(NeuronPreviousBias(i));
        for (int k = 0; k < IncomingCount(i); ++k) {
            h.Add(IncomingWeight(i, k));
            h.Add(IncomingPreviousWeight(i, k));
        }
    }
    for (const ErrorHistory& series : state->histories.series) {
        h.Add(static_cast<uint64_t>(series.count));
        h.Add(static_cast<uint64_t>(series.step));
        for (int j = 0; j < UsedSlots(series); ++j) {
            h.Add(series.slot[j].min);
            h.Add(series.slot[j].max);
        }
    }
    h.Add(static_cast<uint64_t>(state->presentationCount));
    h.Add(static_cast<uint64_t>(state->epochCount));
    h.Add(state->classificationError);
    h.Add(state->learnParameters.ni);
    for (int i = 0; i < state->pointSet.count; ++i) {
        h.Add(static_cast<uint64_t>(state->orderArray[i]));
        h.Add(static_cast<uint64_t>(state->pointSet.points[i].correct));
    }
    return h.value;
}

TEST_F(Training, GoldenRun) {
    const uint64_t vector = GoldenRunHash();
    SetVectorPathsEnabled(false);
    const uint64_t plain = GoldenRunHash();
    std::printf("golden run hash: vector paths %016llx, plain %016llx\n",
                static_cast<unsigned long long>(vector), static_cast<unsigned long long>(plain));
    EXPECT_EQ(vector, plain);
    EXPECT_EQ(vector, 0xb9d3554af81811f0ull) << std::hex << "got " << vector;
}

}  // namespace
}  // namespace kestro
