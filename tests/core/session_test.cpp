// Restart, the session file and the exports.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <bit>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/training_host.h"
#include "core/units/glowny/exports.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

// No window: stops a run after a given number of epochs.
class Host : public TrainingHost {
  public:
    explicit Host(KestroState& state) : state_(state) {}
    int64_t NowMs() override { return 0; }
    void DispatchEvents() override {
        if (++epochs_ >= stopAfter)
            state_.stopRequested = true;
    }
    void DrawSignalView(RasterMode, int32_t, bool) override {}
    void RefreshStatus(int64_t, int64_t) override {}
    void RunStarting() override { epochs_ = 0; }
    int64_t stopAfter = 1;

  private:
    KestroState& state_;
    int64_t epochs_ = 0;
};

// The bit patterns of the values a run starts from: every weight and bias with its previous
// value, and the deltas (an input neuron's bias is only the last input given, and the outputs
// are those of the last evaluation, which redrawing the view changes).
std::vector<uint32_t> ParameterBits() {
    const NetworkValues v = TakeNetworkValues();
    std::vector<uint32_t> bits;
    for (size_t i = static_cast<size_t>(v.layerSizes.at(0)); i < v.bias.size(); ++i)
        for (const float f : {v.bias[i], v.previousBias[i], v.delta[i]})
            bits.push_back(std::bit_cast<uint32_t>(f));
    for (const std::vector<float>* values : {&v.weight, &v.previousWeight})
        for (const float f : *values)
            bits.push_back(std::bit_cast<uint32_t>(f));
    return bits;
}

// A state as the start-up leaves it, then trained for `epochs` epochs.
std::unique_ptr<KestroState> Trained(uint32_t seed, int64_t epochs) {
    SetRandomSeed(seed);
    auto state = std::make_unique<KestroState>();
    state->generateOptions.amount = 150;
    Host host(*state);
    EXPECT_TRUE(StartUp(*state, host));
    state->learnMode = LearnModeContinuous;
    host.stopAfter = epochs;
    Learn(*state, host);
    return state;
}

// The bit patterns of every value of the engine's network.
std::vector<uint32_t> NetworkBits() {
    const NetworkValues v = TakeNetworkValues();
    std::vector<uint32_t> bits(v.layerSizes.begin(), v.layerSizes.end());
    for (const std::vector<float>* values :
         {&v.bias, &v.previousBias, &v.delta, &v.output, &v.weight, &v.previousWeight})
        for (const float f : *values)
            bits.push_back(std::bit_cast<uint32_t>(f));
    return bits;
}

// The text with the first occurrence of `from` replaced.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Restart puts back everything the latest Reset started from: with nothing changed, Restart and
// Learn repeat the first run bit for bit (network, flags, generator, counters, histories,
// timeline, the epoch it ends at), in an order and with a premphase pass that draw from the
// generator and read the flags; a changed control is honoured.
TEST(Restart, ThenLearnRepeatsTheFirstRunBitForBit) {
    auto state = Trained(41, 30);
    Host host(*state);
    state->controls.orderIndex = OrderRandom;
    state->controls.premphase = true;
    state->learnMode = LearnModeSoft;
    host.stopAfter = 3000;
    Learn(*state, host);  // Reset at its beginning
    const std::string first = SessionBytes(*state);
    ASSERT_LT(state->epochCount, 3000);  // ended by the learn mode
    RestartNetwork(*state, host);
    EXPECT_EQ(state->epochCount, 0);
    EXPECT_EQ(state->histories.series[ErrorSeries].count, 0);
    Learn(*state, host);
    // (Compared as a whole, without printing two sessions when they differ.)
    EXPECT_TRUE(SessionBytes(*state) == first);

    state->controls.niPosition = 40;
    RestartNetwork(*state, host);
    EXPECT_EQ(state->learnParameters.ni, 0.4f);

    // A structure choice is a new start too.
    state->controls.resetAtBeginning = false;
    host.stopAfter = 25;
    ChangeStructure(*state, FindStructure("2:3:4:2"));
    const std::vector<uint32_t> built = ParameterBits();
    Learn(*state, host);
    RestartNetwork(*state, host);
    EXPECT_EQ(ParameterBits(), built);
}

TEST(Session, RoundTripsTheStateTheNetworkAndTheGenerator) {
    auto state = Trained(7, 40);
    // Values a JSON number cannot carry, and a mid-run order array, survive too.
    SetNeuronBias(5, -0.0f);
    SetIncomingWeight(12, 3, std::numeric_limits<float>::infinity(),
                      std::numeric_limits<float>::quiet_NaN());
    state->orderCount = 3;
    state->orderArray[0] = 2;
    state->orderArray[1] = 0;
    state->orderArray[2] = 1;
    state->rasterMode = RasterMode::Areas;
    state->showNi = true;
    state->liveAnswer = true;
    state->pace = 10;
    const std::string bytes = SessionBytes(*state);
    const std::vector<uint32_t> network = NetworkBits();
    const uint32_t generator = RandomSeed();

    SetRandomSeed(99);
    BuildNetwork("2:2");
    auto opened = std::make_unique<KestroState>();
    opened->editState.brushRadius = 0.5f;
    const FileResult result = ReadSession(bytes, *opened);
    ASSERT_EQ(result.status, FileStatus::Done) << result.message;
    EXPECT_EQ(NetworkBits(), network);
    EXPECT_EQ(RandomSeed(), generator);
    EXPECT_EQ(opened->editState.brushRadius, 0.5f);  // not part of a session
    EXPECT_TRUE(opened->liveAnswer);
    EXPECT_EQ(opened->pace, 10);
    EXPECT_EQ(SessionBytes(*opened), bytes);
    EXPECT_EQ(std::bit_cast<uint32_t>(NeuronBias(5)), std::bit_cast<uint32_t>(-0.0f));
    EXPECT_EQ(opened->pointSet.count, 150);
    EXPECT_EQ(opened->epochCount, 40);

    // Through a file as well.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kestro_session_test.kestro";
    ASSERT_EQ(SaveSessionFile(path, *opened).status, FileStatus::Done);
    auto loaded = std::make_unique<KestroState>();
    ASSERT_EQ(LoadSessionFile(path, *loaded).status, FileStatus::Done);
    std::filesystem::remove(path);
    EXPECT_EQ(SessionBytes(*loaded), bytes);
}

TEST(Session, RefusedFilesChangeNothing) {
    auto state = Trained(11, 5);
    const std::string good = SessionBytes(*state);
    auto target = Trained(12, 3);
    const std::string before = SessionBytes(*target);
    const struct {
        std::string bytes;
        std::string named;  // a part of the message that names the problem
    } bad[] = {
        {good.substr(0, good.size() / 2), "cut short"},
        {"[1, 2]", "no JSON object"},
        {Replaced(good, "\"kestro-session\"", "\"kestro-points\""), "not a session file"},
        {Replaced(good, "\"version\": 1", "\"version\": 2"), "version 2 is not supported"},
        {Replaced(good, "\"structure\": \"2:10:2\"", "\"structure\": \"2:30:2\""),
         "not one of the offered structures"},
        {Replaced(good, "\"structure\": \"2:10:2\"", "\"structure\": \"2:11:2\""),
         "do not fit the structure"},
        {Replaced(good, "\"niPosition\": 90", "\"niPosition\": 101"),
         "controls.niPosition: 101 is out of range (0..100)"},
        {Replaced(good, "\"learnMode\": 14", "\"learnMode\": 7"), "not one of the learn modes"},
        {Replaced(good, "\"step\": 1", "\"step\": 3"), "not a power of two"},
        {Replaced(good, "\"drawPeriod\"", "\"drawSpeed\""), "drawPeriod: missing"},
        {Replaced(good, "\"pace\": 0", "\"pace\": 7"), "pace: not one of the paces"},
        // The next epoch would overflow the counter.
        {Replaced(good, "\"epochs\": 5", "\"epochs\": 9223372036854775807"),
         "counters.epochs: 9223372036854775807 is out of range (0..9007199254740992)"},
    };
    for (const auto& b : bad) {
        const FileResult result = ReadSession(b.bytes, *target);
        EXPECT_EQ(result.status, FileStatus::Refused) << b.named;
        EXPECT_NE(result.message.find(b.named), std::string::npos) << result.message;
        ASSERT_EQ(SessionBytes(*target), before) << b.named;
    }

    // A file too large is refused by its size, before anything is read.
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kestro_session_test_large.kestro";
    { std::ofstream file(path, std::ios::binary); }
    std::filesystem::resize_file(path, static_cast<uintmax_t>(MaxSessionFileSize) + 1);
    const FileResult large = LoadSessionFile(path, *target);
    std::filesystem::remove(path);
    EXPECT_EQ(large.status, FileStatus::Refused);
    EXPECT_NE(large.message.find("too large"), std::string::npos) << large.message;

    // No session is opened during a run.
    target->learning = true;
    EXPECT_EQ(ReadSession(good, *target).status, FileStatus::Refused);
    target->learning = false;
    EXPECT_EQ(SessionBytes(*target), before);
}

// A run of `epochs` epochs on 20 points of both classes, its timeline kept at every checkpoint.
std::unique_ptr<KestroState> TrainedWithTimeline(std::string_view structure, int64_t epochs) {
    SetRandomSeed(31);
    std::vector<SamplePoint> points;
    for (int k = 0; k < 20; ++k) {
        const float x = RandomUniform(-1, 1), y = RandomUniform(-1, 1);
        points.push_back({x, y, x * y > 0 ? 0 : 1, false});
    }
    auto state = test::MakeState(points);
    ChangeStructure(*state, FindStructure(structure));
    state->learnMode = LearnModeContinuous;
    test::FakeHost host(*state);
    host.StopAfter(epochs);
    Learn(*state, host);
    return state;
}

std::vector<uint32_t> Bits(const float* values, size_t count) {
    std::vector<uint32_t> bits(count);
    std::memcpy(bits.data(), values, count * sizeof(float));
    return bits;
}

std::vector<uint32_t> ParametersNow() {
    std::vector<float> values(static_cast<size_t>(ParameterCount()));
    CopyParameters(values.data());
    return Bits(values.data(), values.size());
}

QJsonObject JsonOf(const std::string& bytes) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(bytes)).object();
}

TEST(Session, KeepsTheTimelineBitForBit) {
    // Past the first thinning (step 2), with layers of different sizes.
    auto state = TrainedWithTimeline("2:3:4:2", 1010);
    ASSERT_EQ(state->timeline.step, 2);
    ASSERT_EQ(state->timeline.entries.size(), 505u);
    const std::string bytes = SessionBytes(*state);
    const std::vector<uint32_t> network = NetworkBits();

    // Saved while an entry is shown: the same file (the current network, nothing shown), and
    // the entry stays shown.
    ShowTimelineEntry(*state, 7);
    const std::vector<uint32_t> shown = ParametersNow();
    EXPECT_EQ(SessionBytes(*state), bytes);
    EXPECT_EQ(ParametersNow(), shown);
    // The file holds the weights in the order of NetworkValues, not the engine's.
    const std::vector<float> weight = TakeNetworkValues().weight;
    const QJsonObject file = JsonOf(bytes);
    const QByteArray raw =
        QByteArray::fromBase64(file["timeline"]["entries"][7]["weight"].toString().toLatin1());
    ASSERT_EQ(static_cast<size_t>(raw.size()), weight.size() * 4);
    EXPECT_EQ(Bits(reinterpret_cast<const float*>(raw.constData()), weight.size()),
              Bits(weight.data(), weight.size()));
    ReturnToNow(*state);

    BuildNetwork("2:2");
    auto opened = std::make_unique<KestroState>();
    const FileResult result = ReadSession(bytes, *opened);
    ASSERT_EQ(result.status, FileStatus::Done) << result.message;
    EXPECT_EQ(NetworkBits(), network);
    // Every entry's fields, written exactly, read back the same.
    EXPECT_EQ(SessionBytes(*opened), bytes);
    ASSERT_EQ(opened->timeline.entries.size(), 505u);
    EXPECT_EQ(opened->timeline.shown, -1);
    for (int32_t i = 0; i < 505; ++i) {
        ShowTimelineEntry(*state, i);
        const std::vector<uint32_t> kept = ParametersNow();
        ReturnToNow(*state);
        ShowTimelineEntry(*opened, i);
        ASSERT_EQ(ParametersNow(), kept) << "entry " << i;
        ReturnToNow(*opened);
    }
    EXPECT_EQ(NetworkBits(), network);
}

TEST(Session, RefusesATimelineThatCouldNotHaveBeenKeptAndOpensOneWithout) {
    auto state = TrainedWithTimeline("2:2:2", 6);  // epochs 1 to 6, 20 points, 6 history values
    const std::string good = SessionBytes(*state);
    auto target = TrainedWithTimeline("2:3:2", 4);
    const std::string before = SessionBytes(*target);
    const auto withTimeline = [&good](const char* key, const QJsonValue& value) {
        QJsonObject root = JsonOf(good), timeline = root["timeline"].toObject();
        timeline[key] = value;
        root["timeline"] = timeline;
        return QJsonDocument(root).toJson().toStdString();
    };
    QJsonArray tooMany;
    for (int k = 0; k <= TimelineCapacity; ++k)
        tooMany.append(QJsonObject{});
    const struct {
        std::string bytes;
        std::string named;
    } bad[] = {
        {withTimeline("step", 3), "timeline.step: not a power of two"},
        {withTimeline("entries", tooMany), "timeline.entries: at most 1000 elements allowed"},
        {Replaced(good, "\"epoch\": 3,", "\"epoch\": 2,"),
         "entries[2].epoch: the epochs do not ascend"},
        {withTimeline("step", 2), "entries[0].epoch: epoch 1 is not a multiple of the step 2"},
        // The next run's first checkpoint (epoch 7) would come before it.
        {Replaced(good, "\"epoch\": 6,", "\"epoch\": 8,"),
         "entries[5].epoch: epoch 8 is past the session's epoch count 6"},
        {Replaced(good, "\"weight\": \"", "\"weight\": \"!"),
         "entries[0].weight: not valid base64"},
        {Replaced(good, "\"bias\": \"", "\"bias\": \"AAAAAAAA"),
         "entries[0].bias: decodes to 30 bytes, expected 6 floats (24 bytes)"},
        {Replaced(good, "\"presentationCount\": 60,", "\"presentationCount\": -1,"),
         "entries[2].presentationCount: -1 is out of range"},
        {Replaced(good, "\"historyCount\": 3,", "\"historyCount\": 7,"),
         "entries[2].historyCount: 7 is out of range (0..6)"},
        {Replaced(good, "\"presentationCount\": 60,", "\"presentationCount\": 9007199254740993,"),
         "entries[2].presentationCount: 9007199254740993 is out of range (0..9007199254740992)"},
        {Replaced(good, "\"startEpoch\": 0", "\"startEpoch\": 1"),
         "entries[0].resume.startEpoch: 1 is out of range (0..0)"},
    };
    for (const auto& b : bad) {
        const FileResult result = ReadSession(b.bytes, *target);
        EXPECT_EQ(result.status, FileStatus::Refused) << b.named;
        EXPECT_NE(result.message.find(b.named), std::string::npos) << result.message;
        ASSERT_EQ(SessionBytes(*target), before) << b.named;
    }

    // A file written before the timeline was saved opens with an empty one.
    QJsonObject old = JsonOf(good);
    old.remove("timeline");
    ShowTimelineEntry(*target, 1);
    const FileResult result = ReadSession(QJsonDocument(old).toJson().toStdString(), *target);
    ASSERT_EQ(result.status, FileStatus::Done) << result.message;
    EXPECT_TRUE(target->timeline.entries.empty() && target->timeline.values.empty());
    EXPECT_EQ(target->timeline.step, 1);
    EXPECT_EQ(target->timeline.shown, -1);
}

// A session keeps what Restart and Continue From Here need (the generator and flags of the start,
// a pending continue, each kept epoch's run state): opened, it goes on through Learn, Continue
// From Here and Restart bit for bit as the saved state does. Without those keys (older files) it
// opens, and Restart leaves the generator as it is.
TEST(Session, KeepsWhatRestartAndContinueFromHereNeed) {
    auto state = TrainedWithTimeline("2:3:2", 30);
    state->controls.premphase = true;
    ShowTimelineEntry(*state, 11);
    ContinueFromHere(*state);
    const std::string bytes = SessionBytes(*state);
    const auto goOn = [](KestroState& s) {
        test::FakeHost host(s);
        s.learnMode = -30;
        Learn(s, host);  // to epoch 30, counted from the continued run's start
        std::string seen = SessionBytes(s);
        ShowTimelineEntry(s, 5);
        ContinueFromHere(s);
        Learn(s, host);
        seen += SessionBytes(s);
        RestartNetwork(s, host);
        Learn(s, host);
        return seen + SessionBytes(s);
    };
    const std::string expected = goOn(*state);
    EXPECT_EQ(state->epochCount, 30);
    auto opened = std::make_unique<KestroState>();
    ASSERT_EQ(ReadSession(bytes, *opened).status, FileStatus::Done);
    EXPECT_TRUE(SessionBytes(*opened) == bytes);
    EXPECT_TRUE(goOn(*opened) == expected);

    QJsonObject old = JsonOf(bytes), counters = old["counters"].toObject(),
                timeline = old["timeline"].toObject();
    ASSERT_TRUE(old.contains("restart") && counters.contains("continue"));
    old.remove("restart");
    counters.remove("continue");
    old["counters"] = counters;
    QJsonArray entries = timeline["entries"].toArray();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QJsonObject entry = entries[i].toObject();
        ASSERT_TRUE(entry.contains("resume"));
        entry.remove("resume");
        entries[i] = entry;
    }
    timeline["entries"] = entries;
    old["timeline"] = timeline;
    ASSERT_EQ(ReadSession(QJsonDocument(old).toJson().toStdString(), *opened).status,
              FileStatus::Done);
    const uint32_t generator = RandomSeed();
    test::FakeHost host(*opened);
    RestartNetwork(*opened, host);
    EXPECT_EQ(RandomSeed(), generator);
}

// Reads CSV rows of numbers; the values must read back completely.
std::vector<std::vector<float>> CsvRows(const std::string& text, std::vector<int64_t>& epochs) {
    std::istringstream stream(text);
    std::string line;
    std::getline(stream, line);
    EXPECT_EQ(line, "epoch,ni,error,mse,verify");
    std::vector<std::vector<float>> rows;
    while (std::getline(stream, line)) {
        std::vector<float> row;
        size_t from = line.find(',');
        epochs.push_back(std::stoll(line.substr(0, from)));
        while (from != std::string::npos) {
            const size_t to = line.find(',', from + 1);
            const std::string field = line.substr(from + 1, to - from - 1);
            float value = 0;
            const auto read = std::from_chars(field.data(), field.data() + field.size(), value);
            EXPECT_TRUE(read.ec == std::errc() && read.ptr == field.data() + field.size()) << line;
            row.push_back(value);
            from = to;
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(Export, HistoriesCsvReadsBackAsTheKeptValues) {
    auto state = Trained(5, 12);
    std::vector<int64_t> epochs;
    std::vector<std::vector<float>> rows = CsvRows(HistoriesCsv(state->histories), epochs);
    ASSERT_EQ(rows.size(), 12u);
    for (size_t k = 0; k < rows.size(); ++k) {
        EXPECT_EQ(epochs[k], static_cast<int64_t>(k) + 1);
        ASSERT_EQ(rows[k].size(), 4u);
        for (int s = 0; s < HistorySeriesCount; ++s)
            EXPECT_EQ(std::bit_cast<uint32_t>(rows[k][static_cast<size_t>(s)]),
                      std::bit_cast<uint32_t>(state->histories.series[s].slot[k].max));
    }

    // Past the first halving each row covers `step` values and is numbered by its last.
    ErrorHistories h;
    ResetHistories(h);
    for (int v = 0; v < 2003; ++v)
        for (ErrorHistory& series : h.series)
            AppendHistory(series, static_cast<float>(v) / 4096);
    epochs.clear();
    rows = CsvRows(HistoriesCsv(h), epochs);
    ASSERT_EQ(rows.size(), 1002u);
    EXPECT_EQ(epochs[0], 2);
    EXPECT_EQ(epochs[1000], 2002);
    EXPECT_EQ(epochs[1001], 2003);
    EXPECT_EQ(rows[0][1], 1.0f / 4096);  // the larger of values 0 and 1
    EXPECT_EQ(rows[1001][3], 2002.0f / 4096);
}

TEST(Export, NetworkJsonGivesEachWeightFromItsSource) {
    auto state = Trained(9, 3);
    ChangeStructure(*state, FindStructure("2:3:4:2"));
    const std::string json = NetworkJson("2:3:4:2", TakeNetworkValues());
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json;
    const QJsonArray layers = document.object()["layers"].toArray();
    ASSERT_EQ(layers.size(), 4);
    // Layer 2 (neurons 5 to 8) is fed by layer 1 (neurons 2 to 4).
    const QJsonObject layer = layers[2].toObject();
    EXPECT_EQ(layer["size"].toInt(), 4);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(static_cast<float>(layer["bias"].toArray()[j].toDouble()), NeuronBias(5 + j));
        const QJsonArray weights = layer["weights"].toArray()[j].toArray();
        ASSERT_EQ(weights.size(), 3);
        for (int k = 0; k < 3; ++k) {
            // Incoming entry e comes from source 4 - e.
            EXPECT_EQ(static_cast<float>(weights[k].toDouble()), IncomingWeight(5 + j, 2 - k));
            EXPECT_EQ(IncomingSource(5 + j, 2 - k), 2 + k);
        }
    }
}

}  // namespace
}  // namespace kestro
