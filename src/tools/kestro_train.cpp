// kestro-train: the headless trainer. Sets up the state as the main window's start-up does, then
// runs Learn runs through the same training code, and prints JSON Lines on stdout. A bad option
// or value gives one line on stderr and exit status 2, with nothing on stdout.
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

constexpr std::string_view ProgramName = "kestro-train";

// The options, as given on the command line; unset ones keep the window's start-up default.
struct TrainOptions {
    std::optional<uint32_t> seed;
    int32_t shape = ShapeWave;
    GenerateOptions generate;
    std::optional<std::string> points;
    std::optional<int> structure;  // index into StructureTexts
    std::optional<int32_t> order;
    std::optional<int32_t> ni, niMin, down, alpha;
    bool noMomentum = false;
    bool noAutoDecrease = false;
    bool premphase = false;
    bool noVerify = false;
    std::optional<int32_t> mode;
    bool continueRuns = false;
    int64_t runs = 1;
    std::optional<int64_t> maxEpochs;
    bool trace = false;
    bool dumpPoints = false;
    bool dumpNetwork = false;
    bool help = false;
};

constexpr std::string_view Usage =
    "usage: kestro-train [options]\n"
    "  --seed N  --shape ID  --amount N  --arrangement N  --equal  --min-dist D\n"
    "  --min-dist-inside  --points FILE  --structure TEXT  --order N  --ni P  --ni-min P\n"
    "  --down P  --alpha P  --no-momentum  --no-auto-decrease  --premphase  --no-verify\n"
    "  --mode M  --continue  --runs K  --max-epochs E  --trace  --dump-points  --dump-network\n"
    "Prints JSON Lines on stdout; see the README.\n";

// A bad option or value: its one-line message.
struct UsageError {
    std::string message;
};

// A whole decimal integer (optional leading minus) within lo..hi.
int64_t ParseInteger(std::string_view option, std::string_view text, int64_t lo, int64_t hi) {
    int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        value < lo || value > hi)
        throw UsageError{"bad value for " + std::string(option) + ": '" + std::string(text) +
                         "' (expected an integer " + std::to_string(lo) + ".." +
                         std::to_string(hi) + ")"};
    return value;
}

// The minimal distance as the dialog's scroll bar gives it: a whole number of thousandths.
int32_t ParseMinDistancePosition(std::string_view text) {
    double value = 0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    const double thousandths = value * 1000.0;
    const double position = std::nearbyint(thousandths);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !(std::fabs(thousandths - position) < 1e-6) || position < MinDistancePositionMin ||
        position > MinDistancePositionMax)
        throw UsageError{"bad value for --min-dist: '" + std::string(text) +
                         "' (expected 0.001..0.2 in steps of 0.001)"};
    return static_cast<int32_t>(position);
}

TrainOptions ParseOptions(const std::vector<std::string_view>& args) {
    TrainOptions o;
    for (size_t a = 0; a < args.size(); ++a) {
        std::string_view option = args[a];
        std::optional<std::string_view> inlineValue;
        if (const size_t eq = option.find('='); option.starts_with("--") && eq != option.npos) {
            inlineValue = option.substr(eq + 1);
            option = option.substr(0, eq);
        }
        const std::string name(option);
        auto value = [&]() -> std::string_view {
            if (inlineValue)
                return *inlineValue;
            if (a + 1 >= args.size())
                throw UsageError{"missing value for " + name};
            return args[++a];
        };
        auto flag = [&]() {
            if (inlineValue)
                throw UsageError{"option " + name + " takes no value"};
            return true;
        };
        if (option == "--seed") {
            o.seed = static_cast<uint32_t>(ParseInteger(option, value(), 0, UINT32_MAX));
        } else if (option == "--shape") {
            o.shape = static_cast<int32_t>(ParseInteger(option, value(), INT32_MIN, INT32_MAX));
        } else if (option == "--amount") {
            o.generate.amount = static_cast<int32_t>(ParseInteger(option, value(), 1, MaxPoints));
        } else if (option == "--arrangement") {
            o.generate.arrangement = static_cast<int32_t>(ParseInteger(option, value(), 0, 3));
        } else if (option == "--equal") {
            o.generate.equal = flag();
        } else if (option == "--min-dist") {
            o.generate.minDistBetween = true;
            o.generate.minDistance = MinDistanceFromPosition(ParseMinDistancePosition(value()));
        } else if (option == "--min-dist-inside") {
            o.generate.minDistInside = flag();
        } else if (option == "--points") {
            const std::string_view path = value();
            if (path.empty())
                throw UsageError{"bad value for --points: empty file name"};
            o.points = std::string(path);
        } else if (option == "--structure") {
            const std::string_view text = value();
            const int index = FindStructure(text);
            if (index < 0)
                throw UsageError{"bad value for --structure: '" + std::string(text) +
                                 "' (not one of the 47 structures, e.g. 2:10:2)"};
            o.structure = index;
        } else if (option == "--order") {
            o.order = static_cast<int32_t>(ParseInteger(option, value(), 0, 4));
        } else if (option == "--ni") {
            o.ni = static_cast<int32_t>(
                ParseInteger(option, value(), ScrollBarNiInfo.min, ScrollBarNiInfo.max));
        } else if (option == "--ni-min") {
            o.niMin = static_cast<int32_t>(
                ParseInteger(option, value(), ScrollBarNiMinInfo.min, ScrollBarNiMinInfo.max));
        } else if (option == "--down") {
            o.down = static_cast<int32_t>(
                ParseInteger(option, value(), ScrollBarDownInfo.min, ScrollBarDownInfo.max));
        } else if (option == "--alpha") {
            o.alpha = static_cast<int32_t>(
                ParseInteger(option, value(), ScrollBarAlphaInfo.min, ScrollBarAlphaInfo.max));
        } else if (option == "--no-momentum") {
            o.noMomentum = flag();
        } else if (option == "--no-auto-decrease") {
            o.noAutoDecrease = flag();
        } else if (option == "--premphase") {
            o.premphase = flag();
        } else if (option == "--no-verify") {
            o.noVerify = flag();
        } else if (option == "--mode") {
            const std::string_view text = value();
            const int64_t tag = ParseInteger(option, text, INT32_MIN, INT32_MAX);
            if (!FindLearnModeItem(static_cast<int32_t>(tag)))
                throw UsageError{"bad value for --mode: '" + std::string(text) +
                                 "' (expected 14, 13, 12, 11, -1, -10, -50, -100, -250, -500, "
                                 "-1000, -5000 or -10000)"};
            o.mode = static_cast<int32_t>(tag);
        } else if (option == "--continue") {
            o.continueRuns = flag();
        } else if (option == "--runs") {
            o.runs = ParseInteger(option, value(), 1, INT32_MAX);
        } else if (option == "--max-epochs") {
            o.maxEpochs = ParseInteger(option, value(), 1, INT64_MAX);
        } else if (option == "--trace") {
            o.trace = flag();
        } else if (option == "--dump-points") {
            o.dumpPoints = flag();
        } else if (option == "--dump-network") {
            o.dumpNetwork = flag();
        } else if (option == "--help") {
            o.help = flag();
        } else if (option.starts_with("-")) {
            throw UsageError{"unknown option " + name};
        } else {
            throw UsageError{"unexpected argument '" + name + "'"};
        }
    }
    return o;
}

// --- JSON Lines output ---

// Collects the output and writes it to stdout in large pieces.
class Output {
  public:
    ~Output() { Flush(); }
    Output& Text(std::string_view text) {
        buffer_ += text;
        return *this;
    }
    Output& Int(int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        buffer_.append(digits, result.ptr);
        return *this;
    }
    // The shortest text that reads back as the same float; null for a value JSON cannot hold.
    Output& Float(float value) {
        if (!std::isfinite(value))
            return Text("null");
        char digits[32];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        buffer_.append(digits, result.ptr);
        return *this;
    }
    Output& String(std::string_view text) {
        buffer_ += '"';
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                buffer_ += '\\';
                buffer_ += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                buffer_ += escape;
            } else {
                buffer_ += c;
            }
        }
        buffer_ += '"';
        return *this;
    }
    // Ends a line; writes out when enough has gathered.
    void EndLine() {
        buffer_ += '\n';
        if (buffer_.size() >= 1 << 16)
            Flush();
    }
    void Flush() {
        if (!buffer_.empty())
            std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
        std::fflush(stdout);
    }

  private:
    std::string buffer_;
};

// The trainer's side of the run: no window; stops a run after maxEpochs epochs as Stop would.
class TrainerHost : public TrainingHost {
  public:
    TrainerHost(KestroState& state, Output& out, const TrainOptions& options)
        : state_(state), out_(out), options_(options) {}

    int64_t NowMs() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - origin_)
            .count();
    }
    void DispatchEvents() override {
        ++runEpochs_;
        if (options_.maxEpochs && runEpochs_ >= *options_.maxEpochs)
            state_.stopRequested = true;
    }
    void DrawSignalView(RasterMode, int32_t, bool) override {}
    void RefreshStatus(int64_t, int64_t) override {}
    void SetRunControls(bool running) override {
        if (running)
            runStartPresentations_ = state_.presentationCount;
    }
    void CheckpointDone(const CheckpointValues& v) override {
        if (!options_.trace)
            return;
        out_.Text("{\"event\":\"checkpoint\",\"run\":").Int(run_);
        out_.Text(",\"epoch\":").Int(v.epoch);
        out_.Text(",\"error\":").Float(v.classificationError);
        out_.Text(",\"mse\":").Float(v.meanSquaredError);
        out_.Text(",\"verify\":").Float(v.verifyError);
        out_.Text(",\"ni\":").Float(v.ni).Text("}");
        out_.EndLine();
    }

    // Starts counting run number `run`.
    void BeginRun(int64_t run) {
        run_ = run;
        runEpochs_ = 0;
        runStartPresentations_ = state_.presentationCount;
    }
    int64_t RunEpochs() const { return runEpochs_; }
    // Presentations of the current run (0 when it never started).
    int64_t RunPresentations() const {
        return runEpochs_ > 0 ? state_.presentationCount - runStartPresentations_ : 0;
    }

  private:
    KestroState& state_;
    Output& out_;
    const TrainOptions& options_;
    const std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
    int64_t run_ = 0;
    int64_t runEpochs_ = 0;
    int64_t runStartPresentations_ = 0;
};

void WritePoint(Output& out, int32_t i, const SamplePoint& p) {
    out.Text("{\"event\":\"point\",\"i\":").Int(i);
    out.Text(",\"x\":").Float(p.x);
    out.Text(",\"y\":").Float(p.y);
    out.Text(",\"class\":").Int(p.classIndex).Text("}");
    out.EndLine();
}

void WriteNeurons(Output& out) {
    const int32_t total = LayerSize(-1);
    for (int32_t i = 0; i < total; ++i) {
        out.Text("{\"event\":\"neuron\",\"i\":").Int(i);
        out.Text(",\"layer\":").Int(NeuronLayer(i));
        out.Text(",\"bias\":").Float(NeuronBias(i));
        out.Text(",\"weights\":[");
        for (int32_t k = 0; k < IncomingCount(i); ++k) {
            if (k > 0)
                out.Text(",");
            out.Float(IncomingWeight(i, k));
        }
        out.Text("]}");
        out.EndLine();
    }
}

int Train(const TrainOptions& options) {
    auto state = std::make_unique<KestroState>();
    state->generateOptions = options.generate;
    Output out;
    TrainerHost host(*state, out, options);

    // The window seeds the shared generator from the clock when it is created.
    if (options.seed)
        SetRandomSeed(*options.seed);
    else
        RandomizeFromClock();
    const uint32_t seed = RandomSeed();

    if (!StartUp(*state, host, options.shape))
        std::fprintf(stderr, "%s: warning: the generation could not place every point\n",
                     ProgramName.data());

    if (options.points) {
        const FileResult loaded = OpenPointsFile(*state, host, *options.points);
        if (loaded.status != FileStatus::Done) {
            const std::string why =
                loaded.status == FileStatus::NotAFile ? "no such file" : loaded.message;
            std::fprintf(stderr, "%s: bad value for --points: '%s' (%s)\n", ProgramName.data(),
                         options.points->c_str(), why.c_str());
            return 2;
        }
    }
    int structure = DefaultStructureIndex;
    if (options.structure) {
        structure = *options.structure;
        ComboStructureChange(structure);
    }

    // The learning controls, as the user would set them: scroll bars, check boxes, order, mode.
    LearnControls& controls = state->controls;
    LearnParameters& params = state->learnParameters;
    if (options.ni) {
        controls.niPosition = *options.ni;
        ScrollBarNiChange(params, controls.niPosition);
    }
    if (options.down) {
        controls.downPosition = *options.down;
        ScrollBarDownChange(params, controls.downPosition);
        UpdateEpochDownRate(params, state->pointSet.count);
    }
    if (options.niMin) {
        controls.niMinPosition = *options.niMin;
        ScrollBarNiMinChange(params, controls.niMinPosition);
    }
    if (options.alpha) {
        controls.alphaPosition = *options.alpha;
        ScrollBarAlphaChange(params, controls.alphaPosition);
    }
    if (options.noAutoDecrease)
        controls.autoDecrease = false;
    if (options.noMomentum) {
        controls.momentum = false;
        CheckMomentumClick(params, controls.momentum, controls.alphaPosition);
    }
    if (options.premphase)
        controls.premphase = true;
    if (options.noVerify)
        controls.verify = false;
    if (options.order)
        controls.orderIndex = *options.order;
    if (options.mode)
        state->learnMode = *options.mode;
    if (options.continueRuns)
        controls.resetAtBeginning = false;

    const ClassCounts counts = CountClasses(state->pointSet);
    out.Text("{\"event\":\"start\",\"seed\":").Int(seed);
    out.Text(",\"shape\":").Int(options.shape);
    out.Text(",\"points\":").Int(counts.total);
    out.Text(",\"class1\":").Int(counts.class1);
    out.Text(",\"class2\":").Int(counts.class2);
    out.Text(",\"structure\":").String(StructureTexts[structure]).Text("}");
    out.EndLine();
    if (options.dumpPoints)
        for (int32_t i = 0; i < state->pointSet.count; ++i)
            WritePoint(out, i, state->pointSet.points[i]);

    for (int64_t run = 1; run <= options.runs; ++run) {
        host.BeginRun(run);
        const auto began = std::chrono::steady_clock::now();
        Learn(*state, host);
        const auto elapsed = std::chrono::steady_clock::now() - began;
        const double seconds = std::chrono::duration<double>(elapsed).count();
        const int64_t presentations = host.RunPresentations();
        const int64_t perSecond =
            seconds > 0 ? std::llround(static_cast<double>(presentations) / seconds) : 0;
        out.Text("{\"event\":\"end\",\"run\":").Int(run);
        out.Text(",\"epochs\":").Int(state->epochCount);
        out.Text(",\"run_epochs\":").Int(host.RunEpochs());
        out.Text(",\"presentations\":").Int(state->presentationCount);
        out.Text(",\"error\":").Float(state->classificationError);
        out.Text(",\"ni\":").Float(params.ni);
        out.Text(",\"ms\":")
            .Int(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
        out.Text(",\"per_s\":").Int(perSecond).Text("}");
        out.EndLine();
    }
    if (options.dumpNetwork)
        WriteNeurons(out);
    return 0;
}

}  // namespace
}  // namespace kestro

int main(int argc, char** argv) {
    using namespace kestro;
    std::vector<std::string_view> args(argv + 1, argv + argc);
    TrainOptions options;
    try {
        options = ParseOptions(args);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n", ProgramName.data(), e.message.c_str());
        return 2;
    }
    if (options.help) {
        std::fwrite(Usage.data(), 1, Usage.size(), stdout);
        return 0;
    }
    try {
        return Train(options);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: error: %s\n", ProgramName.data(), e.what());
        return 1;
    }
}
