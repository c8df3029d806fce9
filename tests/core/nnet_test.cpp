#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/netcopy.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

// Independent oracle of the activation: tanh(s / 2) in long double, rounded to float.
float OracleActivation(float s) {
    return static_cast<float>(std::tanh(static_cast<long double>(s) / 2));
}

uint32_t Bits(float v) {
    return std::bit_cast<uint32_t>(v);
}

// Runs f and returns the message of the EAssertionFailed it throws ("" when none).
template <typename F>
std::string AssertionMessage(F f) {
    try {
        f();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.ClassName(), "EAssertionFailed");
        return e.what();
    }
    return "";
}

class Engine : public testing::Test {
  protected:
    void SetUp() override {
        SetVectorPathsEnabled(true);
        ClearNetwork();
        SetRandomSeed(2024);
    }
    void TearDown() override { SetVectorPathsEnabled(true); }
};

TEST_F(Engine, LayerTablesAndListOrder) {
    BuildNetwork("2:10:2");
    ASSERT_EQ(LayerCount(), 3);
    EXPECT_EQ(LayerSize(-1), 14);
    const int expected[3][3] = {{2, 0, 1}, {10, 2, 11}, {2, 12, 13}};
    int connections = 0;
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(Layer(k).count, expected[k][0]);
        EXPECT_EQ(Layer(k).first, expected[k][1]);
        EXPECT_EQ(Layer(k).last, expected[k][2]);
        EXPECT_EQ(LayerSize(k), expected[k][0]);
        for (int i = Layer(k).first; i <= Layer(k).last; ++i)
            connections += IncomingCount(i);
    }
    EXPECT_EQ(LayerSize(3), 0);
    EXPECT_EQ(connections, 40);
    ASSERT_EQ(IncomingCount(12), 10);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(IncomingSource(12, k), 11 - k);
}

TEST_F(Engine, StructureTexts) {
    BuildNetwork("2:2");
    EXPECT_EQ(LayerCount(), 2);
    EXPECT_EQ(IncomingSource(2, 0), 1);
    BuildNetwork("2:5:5:5:2");
    EXPECT_EQ(LayerCount(), 5);
    EXPECT_EQ(LayerSize(-1), 19);
    BuildNetwork("2:0:2");  // the parse ends at the 0
    EXPECT_EQ(LayerCount(), 1);
    EXPECT_EQ(LayerSize(-1), 2);
    EXPECT_EQ(IncomingCount(1), 0);
    BuildNetwork("x2:2");  // not starting with a digit: empty
    EXPECT_EQ(LayerCount(), 0);
    BuildNetwork("2:3:");  // a ':' in the last position ends the parse
    EXPECT_EQ(LayerCount(), 2);
    BuildNetwork("2:3x4");
    EXPECT_EQ(LayerCount(), 2);
    BuildNetwork("2:2:2:2:2:2:2");  // only five layers fit
    EXPECT_EQ(LayerCount(), 5);
    BuildNetwork("2:600:2");  // more than 512 neurons: the layer is left out
    EXPECT_EQ(LayerCount(), 1);
    float maxOutput = 7;
    ClearNetwork();
    EXPECT_EQ(Evaluate(0.5f, 0.5f, maxOutput), 0);
    EXPECT_EQ(maxOutput, 7);
    EXPECT_EQ(OutputError(1), 0);
    ClearNetwork();
    EXPECT_EQ(LayerCount(), 0);
    EXPECT_EQ(LayerSize(-1), 0);
}

TEST_F(Engine, AddLayerDrawsBiasThenWeightsSourceBySourceAscending) {
    SetRandomSeed(5);
    BuildNetwork("2:3:2");
    SetRandomSeed(5);
    // Replay the draws: bias in +-0.01, weights in +-0.5.
    SetRandomSeed(5);
    size_t d = 0;
    auto next = [&d](float r) {
        ++d;
        return RandomUniform(-r, r);
    };
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(NeuronBias(i), next(0.01f));
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(NeuronBias(i), next(0.01f));
        // source j ascending is list position last - j
        for (int j = 0; j < 2; ++j)
            EXPECT_EQ(IncomingWeight(i, 1 - j), next(0.5f));
    }
    for (int i = 5; i < 7; ++i) {
        EXPECT_EQ(NeuronBias(i), next(0.01f));
        for (int j = 2; j < 5; ++j)
            EXPECT_EQ(IncomingWeight(i, 4 - j), next(0.5f));
    }
    EXPECT_EQ(d, 19u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(NeuronPreviousBias(i), NeuronBias(i));
        for (int k = 0; k < IncomingCount(i); ++k)
            EXPECT_EQ(IncomingPreviousWeight(i, k), IncomingWeight(i, k));
    }
}

TEST_F(Engine, RandomizeWeightsDrawsInListOrder) {
    BuildNetwork("2:3:2");
    TrainSample(0, 0.3f, -0.2f, 0.5f, 0.7f);
    SetRandomSeed(9);
    RandomizeWeights(0.1f, 0.5f);
    SetRandomSeed(9);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(NeuronBias(i), RandomUniform(-0.1f, 0.1f));
        EXPECT_EQ(NeuronPreviousBias(i), NeuronBias(i));
        EXPECT_EQ(NeuronDelta(i), 0);
        EXPECT_EQ(NeuronOutput(i), 0);
        for (int k = 0; k < IncomingCount(i); ++k) {
            EXPECT_EQ(IncomingWeight(i, k), RandomUniform(-0.5f, 0.5f));
            EXPECT_EQ(IncomingPreviousWeight(i, k), IncomingWeight(i, k));
        }
    }
}

TEST_F(Engine, ActivationValues) {
    EXPECT_EQ(Activation(0), 0);
    EXPECT_NEAR(Activation(1), 0.4621f, 1e-4);
    EXPECT_EQ(Activation(100), 1.0f);
    EXPECT_EQ(Activation(-100), -1.0f);
    EXPECT_TRUE(std::isnan(Activation(std::nanf(""))));
    for (float s : {0.001f, 0.37f, 2.5f, 7.0f, 1e-20f})
        EXPECT_EQ(Activation(-s), -Activation(s)) << s;
}

TEST_F(Engine, ActivationIsCorrectlyRounded) {
    // Random floats over every magnitude that matters, and a dense sweep of small ones.
    SetRandomSeed(1);
    std::vector<float> inputs;
    uint32_t state = 0x12345678u;
    for (int n = 0; n < 3000000; ++n) {
        state = state * 1664525u + 1013904223u;
        const uint32_t exponent = 60 + (state >> 27) % 75;  // 2^-67 .. 2^7
        state = state * 1664525u + 1013904223u;
        const uint32_t bits = (state & 0x807FFFFFu) | (exponent << 23);
        inputs.push_back(std::bit_cast<float>(bits));
    }
    for (float s = -20.0f; s <= 20.0f; s += 0.00037f)
        inputs.push_back(s);
    // the vector kernels of every path this processor has
    std::vector<std::vector<float>> fast;
    for (const EnginePath path : {EnginePath::Avx2, EnginePath::Avx512}) {
        if (SetEnginePath(path) != path)
            continue;
        fast.emplace_back(inputs.size());
        ActivationMany(inputs.data(), fast.back().data(), static_cast<int>(inputs.size()));
    }
    for (size_t k = 0; k < inputs.size(); ++k) {
        const float expected = OracleActivation(inputs[k]);
        ASSERT_EQ(Bits(Activation(inputs[k])), Bits(expected)) << inputs[k];
        for (const std::vector<float>& f : fast)
            ASSERT_EQ(Bits(f[k]), Bits(expected)) << inputs[k];
    }
}

TEST_F(Engine, ActivationOfTinyArguments) {
    // s / 2 is the answer when it is a float; otherwise its neighbour toward zero.
    EXPECT_EQ(Activation(1e-30f), 5e-31f);
    const float smallest = std::numeric_limits<float>::denorm_min();
    EXPECT_EQ(Activation(smallest), 0.0f);
    EXPECT_EQ(Activation(3 * smallest), smallest);
    EXPECT_EQ(Activation(-3 * smallest), -smallest);
    EXPECT_EQ(Activation(4 * smallest), 2 * smallest);
}

// A network with hand-set values, outputs worked out by an independent forward pass.
TEST_F(Engine, ForwardPassMatchesAnIndependentComputation) {
    BuildNetwork("2:3:2");
    const float biases[] = {0, 0, 0.1f, -0.2f, 0.3f, 0.05f, -0.05f};
    const float w1[3][2] = {{0.5f, -0.4f}, {0.3f, 0.8f}, {-0.7f, 0.2f}};  // [neuron][source 0,1]
    const float w2[2][3] = {{0.6f, -0.1f, 0.4f}, {-0.3f, 0.9f, 0.2f}};
    for (int i = 0; i < 7; ++i)
        SetNeuronBias(i, biases[i]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 2; ++j)
            SetIncomingWeight(2 + i, 1 - j, w1[i][j], w1[i][j]);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j)
            SetIncomingWeight(5 + i, 2 - j, w2[i][j], w2[i][j]);

    float maxOutput = 0;
    const int winner = Evaluate(1.0f, -0.5f, maxOutput);
    // inputs output Activation(x), not x
    float in[2] = {OracleActivation(1.0f), OracleActivation(-0.5f)};
    EXPECT_NEAR(in[0], 0.4621f, 1e-4);
    EXPECT_EQ(NeuronOutput(0), in[0]);
    EXPECT_EQ(NeuronOutput(1), in[1]);
    float hidden[3];
    for (int i = 0; i < 3; ++i) {
        float s = biases[2 + i];
        for (int j = 1; j >= 0; --j)
            s = std::fmaf(w1[i][j], in[j], s);  // sources descending
        hidden[i] = OracleActivation(s);
        EXPECT_EQ(NeuronOutput(2 + i), hidden[i]);
    }
    float out[2];
    for (int i = 0; i < 2; ++i) {
        float s = biases[5 + i];
        for (int j = 2; j >= 0; --j)
            s = std::fmaf(w2[i][j], hidden[j], s);
        out[i] = OracleActivation(s);
        EXPECT_EQ(NeuronOutput(5 + i), out[i]);
    }
    EXPECT_EQ(winner, out[1] > out[0] ? 1 : 0);
    EXPECT_EQ(maxOutput, std::max(out[0], out[1]));
}

TEST_F(Engine, EqualOutputsGiveClassZero) {
    BuildNetwork("2:2");
    for (int i = 2; i < 4; ++i) {
        SetNeuronBias(i, 0.25f);
        SetIncomingWeight(i, 0, 0.5f, 0.5f);
        SetIncomingWeight(i, 1, -0.5f, -0.5f);
    }
    float maxOutput = 0;
    EXPECT_EQ(Evaluate(0.3f, 0.9f, maxOutput), 0);
    EXPECT_EQ(maxOutput, NeuronOutput(2));
}

TEST_F(Engine, OutputErrorExample) {
    BuildNetwork("2:2");
    SetNeuronOutput(2, 0.2f);
    SetNeuronOutput(3, -0.6f);
    EXPECT_FLOAT_EQ(OutputError(1), 2.0f);
    EXPECT_EQ(NeuronDelta(2), static_cast<float>((1.0 - 0.2 * 0.2) * -1.2 / 2.0));
    EXPECT_NEAR(NeuronDelta(2), -0.576f, 1e-6);
    EXPECT_NEAR(NeuronDelta(3), 0.512f, 1e-6);
}

TEST_F(Engine, UpdateWithAndWithoutMomentum) {
    BuildNetwork("2:2");
    SetNeuronOutput(0, 0.5f);
    SetNeuronOutput(1, -0.25f);
    SetNeuronOutput(2, 0.2f);
    SetNeuronOutput(3, -0.6f);
    OutputError(1);
    const float delta = NeuronDelta(3);
    const float bias0 = NeuronBias(3);
    const float w0 = IncomingWeight(3, 0);  // source 1, output -0.25

    // alpha = 0: v + 2 ni delta x
    UpdateNeuron(3, 0.5f, 0.0f);
    const float bias1 = NeuronBias(3), w1 = IncomingWeight(3, 0);
    EXPECT_EQ(bias1, static_cast<float>(bias0 + 2.0 * 0.5 * delta * 1.0));
    EXPECT_EQ(w1, static_cast<float>(w0 + 2.0 * 0.5 * delta * -0.25));
    EXPECT_EQ(NeuronPreviousBias(3), bias0);
    EXPECT_EQ(IncomingPreviousWeight(3, 0), w0);

    // alpha > 0: the second step adds alpha times the first step's change
    UpdateNeuron(3, 0.5f, 0.7f);
    EXPECT_EQ(NeuronBias(3),
              static_cast<float>(bias1 + 2.0 * 0.5 * delta + 0.7 * (double(bias1) - bias0)));
    EXPECT_EQ(IncomingWeight(3, 0),
              static_cast<float>(w1 + 2.0 * 0.5 * delta * -0.25 + 0.7 * (double(w1) - w0)));
    EXPECT_EQ(NeuronPreviousBias(3), bias1);
}

TEST_F(Engine, TrainSampleReturnsTheAnswerBeforeTheStep) {
    BuildNetwork("2:2");
    // Output 1 wins clearly for class 0's sample: wrong before the step.
    SetNeuronBias(2, -1);
    SetNeuronBias(3, 1);
    for (int i = 2; i < 4; ++i)
        for (int k = 0; k < 2; ++k)
            SetIncomingWeight(i, k, 0, 0);
    EXPECT_FALSE(TrainSample(0, 0.1f, 0.1f, 100.0f, 0));
    float maxOutput = 0;
    EXPECT_EQ(Evaluate(0.1f, 0.1f, maxOutput), 0);  // the big step fixed it
    EXPECT_TRUE(TrainSample(0, 0.1f, 0.1f, 0.1f, 0));
}

TEST_F(Engine, ZeroRateChangesNoWeight) {
    BuildNetwork("2:5:2");
    const NetworkSnapshot before = SaveNetwork();
    for (int n = 0; n < 10; ++n)
        TrainSample(n % 2, 0.1f * n - 0.5f, 0.3f, 0.0f, 0.7f);
    const NetworkSnapshot after = SaveNetwork();
    for (size_t k = 0; k < before.weight.size(); ++k)
        EXPECT_EQ(before.weight[k], after.weight[k]);
    for (size_t i = 2; i < before.bias.size(); ++i)
        EXPECT_EQ(before.bias[i], after.bias[i]);
}

TEST_F(Engine, HiddenRegionCodeIsTheSignPattern) {
    BuildNetwork("2:3:2");
    const float signs[] = {1, -1, 1};
    for (int i = 0; i < 3; ++i) {
        SetNeuronBias(2 + i, signs[i]);
        for (int k = 0; k < 2; ++k)
            SetIncomingWeight(2 + i, k, 0, 0);
    }
    float maxOutput = 0;
    Evaluate(0.4f, 0.4f, maxOutput);
    EXPECT_EQ(HiddenRegionCode(), 5);
    BuildNetwork("2:2");  // no hidden layer: layer 1 is the output layer
    SetNeuronBias(2, -1);
    SetNeuronBias(3, 1);
    for (int i = 2; i < 4; ++i)
        for (int k = 0; k < 2; ++k)
            SetIncomingWeight(i, k, 0, 0);
    Evaluate(0.4f, 0.4f, maxOutput);
    EXPECT_EQ(HiddenRegionCode(), 1);
}

TEST_F(Engine, LayerWeightStatsExample) {
    BuildNetwork("2:3:2");
    SetNeuronBias(5, 0.5f);
    SetNeuronBias(6, -0.25f);
    const float weights[6] = {0.1f, -0.2f, 0.3f, -0.4f, 0.5f, -0.6f};
    for (int k = 0; k < 6; ++k)
        SetIncomingWeight(5 + k / 3, k % 3, weights[k], 0);
    WeightStats biasStats, weightStats;
    LayerWeightStats(2, biasStats, weightStats);
    EXPECT_EQ(biasStats.max, 0.5f);
    EXPECT_EQ(biasStats.min, 0.25f);
    EXPECT_EQ(biasStats.average, 0.375f);
    EXPECT_NEAR(biasStats.rms, std::sqrt((0.25 + 0.0625) / 2), 1e-7);
    EXPECT_EQ(weightStats.max, 0.6f);
    EXPECT_EQ(weightStats.min, 0.1f);
    EXPECT_NEAR(weightStats.average, 0.35f, 1e-7);
    EXPECT_NEAR(weightStats.rms, std::sqrt(0.91 / 6), 1e-6);
    LayerWeightStats(3, biasStats, weightStats);
    EXPECT_EQ(biasStats.min, 0);
    EXPECT_EQ(weightStats.max, 0);
}

TEST_F(Engine, AssertionsNameTheEngineSourceAndLine) {
    const std::string zero = AssertionMessage([] { AddLayer(0, 0.1f, 0.1f); });
    EXPECT_NE(zero.find("Assertion failure ("), std::string::npos) << zero;
    EXPECT_NE(zero.find("units/nnet"), std::string::npos) << zero;
    EXPECT_NE(zero.find(", line "), std::string::npos) << zero;
    EXPECT_EQ(zero.back(), ')');
    BuildNetwork("2:2:2:2:2");
    EXPECT_NE(AssertionMessage([] { AddLayer(2, 0.1f, 0.1f); }).find("units/nnet"),
              std::string::npos);
    EXPECT_NE(AssertionMessage([] { HiddenDelta(-1); }), "");
    EXPECT_NE(AssertionMessage([] { HiddenDelta(10); }), "");
    EXPECT_EQ(AssertionMessage([] { HiddenDelta(9); }), "");
    WeightStats a, b;
    EXPECT_NE(AssertionMessage([&] { LayerWeightStats(0, a, b); }).find("units/nnet"),
              std::string::npos);
}

// Oracle: a double-precision forward pass and the squared error summed over the outputs.
double OracleError(int classIndex, float x, float y, int weightNeuron, int weightEntry, double dw) {
    std::vector<double> out(static_cast<size_t>(LayerSize(-1)));
    for (int i = 0; i < LayerSize(-1); ++i) {
        double s = i == 0 ? x : i == 1 ? y : NeuronBias(i);
        if (i == weightNeuron && weightEntry < 0)
            s += dw;
        for (int k = 0; k < IncomingCount(i); ++k) {
            double w = IncomingWeight(i, k);
            if (i == weightNeuron && k == weightEntry)
                w += dw;
            s += w * out[static_cast<size_t>(IncomingSource(i, k))];
        }
        out[static_cast<size_t>(i)] = std::tanh(s / 2);
    }
    const LayerInfo& L = Layer(LayerCount() - 1);
    double e = 0;
    for (int k = L.first; k <= L.last; ++k) {
        const double t = k == L.first + classIndex ? 1 : -1;
        e += (t - out[static_cast<size_t>(k)]) * (t - out[static_cast<size_t>(k)]);
    }
    return e;
}

TEST_F(Engine, BackpropagationFollowsTheNumericalGradient) {
    // With alpha = 0 a step changes each value by -ni dE/dv, E the summed squared error.
    SetRandomSeed(31);
    BuildNetwork("2:4:3:2");
    RandomizeWeights(0.5f, 1.0f);
    const float x = 0.3f, y = -0.7f, ni = 1e-3f;
    const int classIndex = 1;
    const NetworkSnapshot before = SaveNetwork();
    TrainSample(classIndex, x, y, ni, 0);
    const NetworkSnapshot after = SaveNetwork();
    RestoreNetwork(before);
    int checked = 0;
    for (int i = 2; i < LayerSize(-1); ++i) {
        for (int k = -1; k < IncomingCount(i); ++k) {
            const double h = 1e-5;
            const double numeric =
                (OracleError(classIndex, x, y, i, k, h) - OracleError(classIndex, x, y, i, k, -h)) /
                (2 * h);
            RestoreNetwork(after);
            const double v1 = k < 0 ? NeuronBias(i) : IncomingWeight(i, k);
            RestoreNetwork(before);
            const double v0 = k < 0 ? NeuronBias(i) : IncomingWeight(i, k);
            const double step = (v1 - v0) / -ni;
            EXPECT_NEAR(step, numeric, 2e-3 + 2e-2 * std::fabs(numeric)) << i << " " << k;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 4 * 3 + 3 * 5 + 2 * 4);
}

TEST_F(Engine, FastPathsAreBitIdenticalToThePlainPath) {
    // the offered structures (fixed-size kernels) and some others (general kernels)
    std::vector<std::string> structures(StructureTexts.begin(), StructureTexts.end());
    for (const char* other : {"3:7:2", "2:0:2", "2:9:17:2", "2:33:3"})
        structures.push_back(other);
    uint32_t state = 7;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    };
    for (const std::string& structure : structures) {
        const char* text = structure.c_str();
        for (int trial = 0; trial < 4; ++trial) {
            SetRandomSeed(100u + static_cast<uint32_t>(trial));
            BuildNetwork(text);
            RandomizeWeights(0.1f * (trial + 1), 0.5f * (trial + 1));
            const NetworkSnapshot start = SaveNetwork();
            std::vector<float> xs, ys;
            std::vector<int> cs;
            for (int n = 0; n < 300; ++n) {
                xs.push_back(next());
                ys.push_back(next());
                cs.push_back(n % 3 == 0 ? 1 : 0);
            }
            const float ni = 0.2f + 0.1f * trial, alpha = 0.1f * trial;
            std::vector<bool> plainAnswers, scalarAnswers;
            for (int n = 0; n < 300; ++n)
                plainAnswers.push_back(TrainSamplePlain(cs[n], xs[n], ys[n], ni, alpha));
            const NetworkSnapshot plain = SaveNetwork();
            // every vector path this processor has: AVX2, and AVX-512 where present
            std::vector<NetworkSnapshot> fastRuns;
            for (const EnginePath path : {EnginePath::Avx2, EnginePath::Avx512}) {
                if (SetEnginePath(path) != path)
                    continue;
                RestoreNetwork(start);
                std::vector<bool> answers;
                for (int n = 0; n < 300; ++n)
                    answers.push_back(TrainSample(cs[n], xs[n], ys[n], ni, alpha));
                fastRuns.push_back(SaveNetwork());
                EXPECT_EQ(plainAnswers, answers) << text;
            }
            SetVectorPathsEnabled(true);
            RestoreNetwork(start);
            SetVectorPathsEnabled(false);
            for (int n = 0; n < 300; ++n)
                scalarAnswers.push_back(TrainSample(cs[n], xs[n], ys[n], ni, alpha));
            SetVectorPathsEnabled(true);
            const NetworkSnapshot scalar = SaveNetwork();
            EXPECT_EQ(plainAnswers, scalarAnswers) << text;
            fastRuns.push_back(scalar);
            for (const NetworkSnapshot* s = fastRuns.data(); s != fastRuns.data() + fastRuns.size();
                 ++s) {
                ASSERT_EQ(s->weight.size(), plain.weight.size());
                for (size_t k = 0; k < plain.weight.size(); ++k) {
                    ASSERT_EQ(Bits(s->weight[k]), Bits(plain.weight[k])) << text << " w" << k;
                    ASSERT_EQ(Bits(s->previousWeight[k]), Bits(plain.previousWeight[k]));
                }
                for (size_t i = 0; i < plain.bias.size(); ++i) {
                    ASSERT_EQ(Bits(s->bias[i]), Bits(plain.bias[i])) << text << " b" << i;
                    ASSERT_EQ(Bits(s->previousBias[i]), Bits(plain.previousBias[i]));
                    ASSERT_EQ(Bits(s->delta[i]), Bits(plain.delta[i])) << text << " d" << i;
                    ASSERT_EQ(Bits(s->output[i]), Bits(plain.output[i])) << text << " o" << i;
                }
            }
        }
    }
}

TEST_F(Engine, BatchEvaluationIsBitIdenticalToPointByPoint) {
    for (const char* text : {"2:10:2", "2:100:2", "2:5:5:5:2", "2:40:2", "2:2", "2:0:2"}) {
        SetRandomSeed(3);
        BuildNetwork(text);
        RandomizeWeights(0.5f, 2.0f);
        const int count = 1003;  // not a multiple of the lane count
        std::vector<float> xs, ys;
        std::vector<int32_t> cs;
        for (int p = 0; p < count; ++p) {
            xs.push_back(static_cast<float>((p % 37) / 18.0 - 1.0));
            ys.push_back(static_cast<float>(1.0 - (p % 41) / 20.0));
            cs.push_back(p % 2);
        }
        struct Results {
            std::vector<int32_t> winners, codes;
            std::vector<float> maxOutputs, errors;
            NetworkSnapshot after;
        };
        auto run = [&](bool vector) {
            Results r;
            r.winners.assign(count, -1);
            r.codes.assign(count, -1);
            r.maxOutputs.assign(count, -9);
            r.errors.assign(count, -9);
            PointBatch b;
            b.x = xs.data();
            b.y = ys.data();
            b.count = count;
            b.winners = r.winners.data();
            b.maxOutputs = r.maxOutputs.data();
            b.classes = cs.data();
            b.errors = r.errors.data();
            b.regionCodes = r.codes.data();
            if (vector) {
                EvaluateBatch(b);
            } else {
                EvaluateBatchPlain(b);
            }
            r.after = SaveNetwork();
            return r;
        };
        const Results plain = run(false);
        for (const EnginePath path : {EnginePath::Avx2, EnginePath::Avx512}) {
            if (SetEnginePath(path) != path)
                continue;
            const Results fast = run(true);
            EXPECT_EQ(fast.winners, plain.winners) << text;
            EXPECT_EQ(fast.codes, plain.codes) << text;
            for (int p = 0; p < count; ++p) {
                ASSERT_EQ(Bits(fast.maxOutputs[p]), Bits(plain.maxOutputs[p])) << text << " " << p;
                ASSERT_EQ(Bits(fast.errors[p]), Bits(plain.errors[p])) << text << " " << p;
            }
            EXPECT_EQ(fast.after.output, plain.after.output) << text;
            EXPECT_EQ(fast.after.delta, plain.after.delta) << text;
            EXPECT_EQ(fast.after.bias, plain.after.bias) << text;
        }
    }
}

TEST_F(Engine, GridEvaluationIsBitIdenticalToPointByPointOnEveryPath) {
    for (const char* text : {"2:10:2", "2:100:2", "2:5:5:5:2", "2:40:2", "2:1:2", "2:2", "2:0:2",
                             "3:7:2", "2:33:3", "x"}) {
        SetRandomSeed(4);
        BuildNetwork(text);
        RandomizeWeights(0.5f, 3.0f);
        const int columns = 37, rows = 5;  // not multiples of the lane counts
        std::vector<float> xs, ys;
        for (int c = 0; c < columns; ++c)
            xs.push_back(static_cast<float>((c / 37.0 - 0.5) * 2));
        for (int r = 0; r < rows; ++r)
            ys.push_back(static_cast<float>((0.5 - r / 5.0) * 2));
        // the reference: Evaluate and HiddenRegionCode point by point on the plain path
        SetVectorPathsEnabled(false);
        std::vector<int32_t> winners, codes;
        std::vector<float> maxOutputs;
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                float o = -9;
                winners.push_back(Evaluate(xs[c], ys[r], o));
                maxOutputs.push_back(o);
                codes.push_back(HiddenRegionCode());
            }
        const NetworkSnapshot before = SaveNetwork();
        for (const EnginePath path : {EnginePath::Portable, EnginePath::Avx2, EnginePath::Avx512}) {
            if (SetEnginePath(path) != path)
                continue;
            for (const bool given : {false, true}) {
                std::vector<float> activations(xs.size());
                ActivationMany(xs.data(), activations.data(), columns);
                std::vector<int32_t> w(winners.size(), -1), k(codes.size(), -1);
                std::vector<float> o(maxOutputs.size(), -9);
                GridBatch g;
                g.x = xs.data();
                g.xActivations = given ? activations.data() : nullptr;
                g.columns = columns;
                g.y = ys.data();
                g.rows = rows;
                g.winners = w.data();
                g.maxOutputs = o.data();
                g.regionCodes = k.data();
                EvaluateGrid(g);
                EXPECT_EQ(w, winners) << text;
                EXPECT_EQ(k, codes) << text;
                for (size_t p = 0; p < o.size(); ++p)
                    ASSERT_EQ(Bits(o[p]), LayerCount() ? Bits(maxOutputs[p]) : Bits(-9.0f))
                        << text << " " << p;
            }
        }
        // read only: the network is as the reference left it
        const NetworkSnapshot after = SaveNetwork();
        EXPECT_EQ(after.output, before.output) << text;
        EXPECT_EQ(after.bias, before.bias) << text;
    }
}

TEST_F(Engine, InputDeltasWorkedOutLaterEqualThePlainOnes) {
    // The fixed-size kernels leave the input neurons' deltas until something reads them; every
    // operation that reads or changes what they depend on sees the plain values.
    SetRandomSeed(6);
    BuildNetwork("2:10:2");
    RandomizeWeights(0.2f, 1.0f);
    const NetworkSnapshot start = SaveNetwork();
    auto steps = [](bool plain) {
        std::vector<float> seen;
        for (int n = 0; n < 6; ++n) {
            const float x = 0.1f * n - 0.3f, y = 0.5f - 0.07f * n;
            if (plain)
                TrainSamplePlain(n % 2, x, y, 0.3f, 0.5f);
            else
                TrainSample(n % 2, x, y, 0.3f, 0.5f);
            float o;
            switch (n) {
                case 0:
                    Evaluate(0.9f, -0.9f, o);
                    break;  // new input outputs
                case 1:
                    SetIncomingWeight(2, 1, 0.25f, 0.125f);
                    break;
                case 2:
                    HiddenDelta(5);
                    break;
                case 3:
                    OutputError(1);
                    break;
                case 4:
                    UpdateNeuron(0, 0.5f, 0.5f);
                    break;
                default:
                    break;
            }
            seen.push_back(NeuronDelta(0));
            seen.push_back(NeuronDelta(1));
        }
        const NetworkSnapshot end = SaveNetwork();
        seen.insert(seen.end(), end.delta.begin(), end.delta.end());
        seen.insert(seen.end(), end.bias.begin(), end.bias.end());
        seen.insert(seen.end(), end.weight.begin(), end.weight.end());
        return seen;
    };
    const std::vector<float> plain = steps(true);
    RestoreNetwork(start);
    const std::vector<float> fast = steps(false);
    ASSERT_EQ(plain.size(), fast.size());
    for (size_t k = 0; k < plain.size(); ++k)
        ASSERT_EQ(Bits(fast[k]), Bits(plain[k])) << k;
}

}  // namespace

// The copy of the network computes every neuron's output as the engine does, bit for bit, for
// every kind of structure, one point at a time and over many points at once.
TEST(NetworkCopy, NeuronOutputsMatchTheEngine) {
    for (const char* structure : {"2:2", "2:10:2", "2:5:4:3:2", "2:100:2"}) {
        BuildNetwork(structure);
        RandomizeWeights(1.0f, 3.0f);
        const NetworkCopy copy = CopyNetwork();
        const int32_t total = LayerSize(-1);
        std::vector<float> xs, ys;
        for (int p = 0; p < 1500; ++p) {
            xs.push_back(RandomUniform(-1, 1));
            ys.push_back(RandomUniform(-1, 1));
        }
        std::vector<float> outputs(static_cast<size_t>(total));
        std::vector<std::vector<float>> many(static_cast<size_t>(total),
                                             std::vector<float>(xs.size()));
        for (int32_t i = 0; i < total; ++i)
            NeuronOutputs(copy, i, xs.data(), ys.data(), static_cast<int32_t>(xs.size()),
                          many[static_cast<size_t>(i)].data());
        for (size_t p = 0; p < xs.size(); ++p) {
            float top = 0;
            Evaluate(xs[p], ys[p], top);
            ForwardCopy(copy, xs[p], ys[p], copy.layerCount - 1, outputs.data());
            for (int32_t i = 0; i < total; ++i) {
                ASSERT_EQ(Bits(outputs[static_cast<size_t>(i)]), Bits(NeuronOutput(i)))
                    << structure << " neuron " << i;
                ASSERT_EQ(Bits(many[static_cast<size_t>(i)][p]), Bits(NeuronOutput(i)))
                    << structure << " neuron " << i;
            }
        }
    }
}

}  // namespace kestro
