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
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
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

TEST(Restart, PutsBackTheNetworkOfTheLatestResetWithoutDrawing) {
    auto state = Trained(41, 30);
    Host host(*state);
    ResetNetwork(*state, host);
    const std::vector<uint32_t> afterReset = ParameterBits();
    host.stopAfter = 25;
    state->controls.resetAtBeginning = false;
    Learn(*state, host);
    ASSERT_NE(ParameterBits(), afterReset);
    state->controls.niPosition = 40;
    const uint32_t generator = RandomSeed();
    RestartNetwork(*state, host);
    EXPECT_EQ(ParameterBits(), afterReset);
    EXPECT_EQ(RandomSeed(), generator);
    EXPECT_EQ(state->epochCount, 0);
    EXPECT_EQ(state->presentationCount, 0);
    EXPECT_EQ(state->learnParameters.ni, 0.4f);
    EXPECT_EQ(state->histories.series[ErrorSeries].count, 0);

    // A structure choice is a new start too.
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
        const float x = RandomUniform(-1, 1);
        const float y = RandomUniform(-1, 1);
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

TEST(Session, KeepsTheTimelineBitForBit) {
    // Past the first thinning (step 2), with layers of different sizes.
    auto state = TrainedWithTimeline("2:3:4:2", 1010);
    const Timeline& kept = state->timeline;
    ASSERT_EQ(kept.step, 2);
    ASSERT_EQ(kept.entries.size(), 505u);
    const std::string bytes = SessionBytes(*state);
    const std::vector<uint32_t> network = NetworkBits();

    // Saved while an entry is shown: the same file (the current network, nothing shown), and
    // the entry stays shown.
    ShowTimelineEntry(*state, 7);
    const std::vector<uint32_t> shown = ParametersNow();
    EXPECT_EQ(SessionBytes(*state), bytes);
    EXPECT_EQ(ParametersNow(), shown);
    // The file holds the network in the engine-independent order of NetworkValues.
    const NetworkValues values = TakeNetworkValues();
    const QJsonObject entry = QJsonDocument::fromJson(QByteArray::fromStdString(bytes))
                                  .object()["timeline"]
                                  .toObject()["entries"]
                                  .toArray()[7]
                                  .toObject();
    EXPECT_EQ(entry["epoch"].toInteger(), 16);
    for (const auto& [key, part] :
         {std::pair{"bias", &values.bias}, std::pair{"previousWeight", &values.previousWeight}}) {
        const QByteArray raw = QByteArray::fromBase64(entry[key].toString().toLatin1());
        ASSERT_EQ(static_cast<size_t>(raw.size()), part->size() * 4) << key;
        EXPECT_EQ(Bits(reinterpret_cast<const float*>(raw.constData()), part->size()),
                  Bits(part->data(), part->size()))
            << key;
    }
    ReturnToNow(*state);

    BuildNetwork("2:2");
    auto opened = std::make_unique<KestroState>();
    const FileResult result = ReadSession(bytes, *opened);
    ASSERT_EQ(result.status, FileStatus::Done) << result.message;
    EXPECT_EQ(NetworkBits(), network);
    EXPECT_EQ(SessionBytes(*opened), bytes);
    const Timeline& read = opened->timeline;
    EXPECT_EQ(read.step, 2);
    EXPECT_EQ(read.shown, -1);
    ASSERT_EQ(read.entries.size(), kept.entries.size());
    for (int32_t i = 0; i < static_cast<int32_t>(kept.entries.size()); ++i) {
        const TimelineEntry& a = kept.entries[static_cast<size_t>(i)];
        const TimelineEntry& b = read.entries[static_cast<size_t>(i)];
        ASSERT_EQ(a.epoch, b.epoch);
        EXPECT_EQ(a.presentationCount, b.presentationCount);
        EXPECT_EQ(a.historyCount, b.historyCount);
        EXPECT_EQ(Bits(&a.ni, 1), Bits(&b.ni, 1));
        EXPECT_EQ(Bits(&a.classificationError, 1), Bits(&b.classificationError, 1));
        EXPECT_EQ(Bits(&a.meanSquaredError, 1), Bits(&b.meanSquaredError, 1));
        EXPECT_EQ(Bits(&a.verifyError, 1), Bits(&b.verifyError, 1));
        EXPECT_EQ(a.classErrors.wrong[1], b.classErrors.wrong[1]);
        EXPECT_EQ(a.classErrors.total[0], b.classErrors.total[0]);
        EXPECT_EQ(a.generator, b.generator);
        ShowTimelineEntry(*state, i);
        const std::vector<uint32_t> before = ParametersNow();
        ReturnToNow(*state);
        ShowTimelineEntry(*opened, i);
        ASSERT_EQ(ParametersNow(), before) << "epoch " << a.epoch;
        ReturnToNow(*opened);
    }
    EXPECT_EQ(NetworkBits(), network);
}

TEST(Session, RefusesATimelineThatCouldNotHaveBeenKept) {
    auto state = TrainedWithTimeline("2:2:2", 6);
    const std::string good = SessionBytes(*state);
    auto target = TrainedWithTimeline("2:3:2", 4);
    const std::string before = SessionBytes(*target);
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(good)).object();
    const QJsonObject timeline = root["timeline"].toObject();
    const QJsonArray entries = timeline["entries"].toArray();
    // The timeline with one change: to itself, or to entry 2.
    const auto edited = [&](const std::function<void(QJsonObject&)>& change) {
        QJsonObject t = timeline;
        change(t);
        QJsonObject r = root;
        r["timeline"] = t;
        return QJsonDocument(r).toJson().toStdString();
    };
    const auto entry = [&](qsizetype i, const char* key, const QJsonValue& value) {
        return edited([&](QJsonObject& t) {
            QJsonArray e = entries;
            QJsonObject o = e[i].toObject();
            o[key] = value;
            e[i] = o;
            t["entries"] = e;
        });
    };
    const auto entry2 = [&](const char* key, const QJsonValue& value) {
        return entry(2, key, value);
    };
    QJsonArray tooMany;
    for (int k = 0; k <= TimelineCapacity; ++k)
        tooMany.append(entries[0]);
    const float threeFloats[3] = {1, 2, 3};
    const struct {
        std::string bytes;
        std::string named;
    } bad[] = {
        {edited([](QJsonObject& t) { t["step"] = 3; }), "timeline.step: not a power of two"},
        {edited([](QJsonObject& t) { t["step"] = 0; }), "timeline.step: 0 is out of range"},
        {edited([&](QJsonObject& t) { t["entries"] = tooMany; }),
         "timeline.entries: at most 1000 elements allowed, found 1001"},
        {entry2("epoch", 2), "timeline.entries[2].epoch: the epochs do not ascend"},
        // The next run's first checkpoint (epoch 7) would come before it.
        {entry(5, "epoch", 8),
         "timeline.entries[5].epoch: epoch 8 is past the session's epoch count 6"},
        {edited([](QJsonObject& t) { t["step"] = 2; }),
         "timeline.entries[0].epoch: epoch 1 is not a multiple of the step 2"},
        {entry2("weight", "AAAA!AAA"), "timeline.entries[2].weight: not valid base64"},
        {entry2("bias", QString::fromLatin1(
                            QByteArray(reinterpret_cast<const char*>(threeFloats), 12).toBase64())),
         "timeline.entries[2].bias: decodes to 12 bytes, expected 6 floats (24 bytes)"},
        {entry2("presentationCount", -1), "timeline.entries[2].presentationCount: -1 is out of"},
        {entry2("historyCount", 7), "timeline.entries[2].historyCount: 7 is out of range (0..6)"},
        {entry2("classErrors",
                QJsonObject{{"wrong", QJsonArray{3, 0}}, {"total", QJsonArray{2, 5}}}),
         "timeline.entries[2].classErrors.wrong[0]: 3 is out of range (0..2)"},
        {entry2("verifyError", 1.5), "timeline.entries[2].verifyError: out of range (0..1)"},
        {entry2("generator", QJsonValue()),
         "timeline.entries[2].generator: expected a whole number"},
    };
    for (const auto& b : bad) {
        const FileResult result = ReadSession(b.bytes, *target);
        EXPECT_EQ(result.status, FileStatus::Refused) << b.named;
        EXPECT_NE(result.message.find(b.named), std::string::npos) << result.message;
        ASSERT_EQ(SessionBytes(*target), before) << b.named;
    }
}

TEST(Session, AFileWithoutATimelineOpensWithAnEmptyOne) {
    auto state = TrainedWithTimeline("2:2:2", 6);
    QJsonObject root =
        QJsonDocument::fromJson(QByteArray::fromStdString(SessionBytes(*state))).object();
    root.remove("timeline");
    auto target = TrainedWithTimeline("2:3:2", 4);
    ShowTimelineEntry(*target, 1);
    const FileResult result = ReadSession(QJsonDocument(root).toJson().toStdString(), *target);
    ASSERT_EQ(result.status, FileStatus::Done) << result.message;
    EXPECT_TRUE(target->timeline.entries.empty());
    EXPECT_TRUE(target->timeline.values.empty());
    EXPECT_EQ(target->timeline.step, 1);
    EXPECT_EQ(target->timeline.shown, -1);
    EXPECT_EQ(target->epochCount, 6);
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
