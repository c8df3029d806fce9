// kestro-train: the headless trainer. Sets up the state as the main window's start-up does, then
// runs Learn runs (or single Steps) through the same training code, and prints JSON Lines on
// stdout. The options are one table, which also gives the --help text. A bad option or value
// gives one line on stderr and exit status 2, with nothing on stdout.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/units/glowny/exports.h"
#include "core/units/glowny/filebytes.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"
#include "core/units/glowny/shapes.h"
#include "core/units/glowny/startup.h"
#include "core/units/glowny/state.h"
#include "core/units/glowny/timeline.h"
#include "core/units/glowny/training.h"
#include "core/units/nnet.h"
#include "core/units/random.h"

namespace kestro {
namespace {

constexpr std::string_view ProgramName = "kestro-train";

// The options, as given on the command line; unset ones keep the window's start-up default.
struct TrainOptions {
    std::optional<uint32_t> seed;
    std::optional<int32_t> shape;
    GenerateOptions generate;
    unsigned generateGiven = 0;  // GivenAmount | ...: the generation options on the command line
    std::optional<std::string> session;
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
    bool restartBetweenRuns = false;
    int64_t runs = 1;
    std::optional<int64_t> maxEpochs;
    std::optional<int64_t> steps;  // Steps in place of the runs
    bool trace = false;
    bool dumpPoints = false;
    bool dumpNetwork = false;
    std::optional<int64_t> timelineEpoch;  // --dump-network prints the network kept at this epoch
    std::optional<std::string> saveSession;
    std::optional<std::string> historyCsv;
    std::optional<std::pair<uint32_t, uint32_t>> seeds;  // first and last seed
    std::optional<int> jobs;
    bool seedsWorker = false;  // one run of --seeds: prints whether the stop rule was met
    bool help = false;
};

// The generation options, as bits of TrainOptions::generateGiven.
constexpr unsigned GivenAmount = 1, GivenArrangement = 2, GivenEqual = 4, GivenMinDist = 8,
                   GivenMinDistInside = 16;

// One option as a reader of the table sees it: its name, its value (empty for a switch) and the
// parse's first error. A reader notes a bad value and parsing goes on; only the first error noted
// is reported, once every argument has been read.
struct OptionArgument {
    std::string_view name;
    std::string_view value;
    std::string& firstError;

    void Bad(std::string message) {
        if (firstError.empty())
            firstError = std::move(message);
    }

    // The value as a whole decimal integer (optional leading minus) within lo..hi; notes a bad
    // value.
    std::optional<int64_t> Integer(int64_t lo, int64_t hi) {
        int64_t number = 0;
        const auto result = std::from_chars(value.data(), value.data() + value.size(), number);
        if (!value.empty() && result.ec == std::errc() &&
            result.ptr == value.data() + value.size() && number >= lo && number <= hi)
            return number;
        Bad("bad value for " + std::string(name) + ": '" + std::string(value) +
            "' (expected an integer " + std::to_string(lo) + ".." + std::to_string(hi) + ")");
        return std::nullopt;
    }

    // Stores the value in target when Integer accepts it.
    template <typename T>
    void StoreInteger(T& target, int64_t lo, int64_t hi) {
        if (const std::optional<int64_t> number = Integer(lo, hi))
            target = static_cast<T>(*number);
    }
    template <typename T>
    void StoreInteger(std::optional<T>& target, int64_t lo, int64_t hi) {
        if (const std::optional<int64_t> number = Integer(lo, hi))
            target = static_cast<T>(*number);
    }
};

// The minimal distance as the dialog's scroll bar gives it: a whole number of thousandths.
void ReadMinDistance(TrainOptions& o, OptionArgument& arg) {
    const std::string_view text = arg.value;
    double value = 0;
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    const double thousandths = value * 1000.0;
    const double position = std::nearbyint(thousandths);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !(std::fabs(thousandths - position) < 1e-6) || position < MinDistancePositionMin ||
        position > MinDistancePositionMax) {
        arg.Bad("bad value for --min-dist: '" + std::string(text) +
                "' (expected 0.001..0.2 in steps of 0.001)");
        return;
    }
    o.generate.minDistBetween = true;
    o.generate.minDistance = MinDistanceFromPosition(static_cast<int32_t>(position));
    o.generateGiven |= GivenMinDist;
}

// A file the trainer writes after its runs: the folder must exist, the name must not be a folder,
// and the file must be writable (checked without leaving a file behind), so that a file that
// cannot be written is told before the runs rather than after them.
void ReadOutputFile(std::optional<std::string>& target, OptionArgument& arg) {
    const std::filesystem::path path(arg.value);
    std::error_code error;
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    const std::string named =
        "bad value for " + std::string(arg.name) + ": '" + std::string(arg.value) + "' (";
    if (arg.value.empty()) {
        arg.Bad("bad value for " + std::string(arg.name) + ": empty file name");
    } else if (!std::filesystem::is_directory(folder, error)) {
        arg.Bad(named + "no such folder)");
    } else if (std::filesystem::is_directory(path, error)) {
        arg.Bad(named + "a folder)");
    } else if (const FileResult writable = CheckFileWritable(path);
               writable.status != FileStatus::Done) {
        arg.Bad(named + "cannot be written: " + writable.message + ")");
    } else {
        target = std::string(arg.value);
    }
}

// A range of seeds "A-B" with A <= B.
void ReadSeeds(TrainOptions& o, OptionArgument& arg) {
    const std::string_view text = arg.value;
    const size_t dash = text.find('-');
    uint32_t first = 0, last = 0;
    const auto whole = [](std::string_view part, uint32_t& value) {
        const auto result = std::from_chars(part.data(), part.data() + part.size(), value);
        return !part.empty() && result.ec == std::errc() && result.ptr == part.data() + part.size();
    };
    if (dash == std::string_view::npos || !whole(text.substr(0, dash), first) ||
        !whole(text.substr(dash + 1), last) || first > last)
        arg.Bad("bad value for --seeds: '" + std::string(text) +
                "' (expected A-B, two seeds 0..4294967295 with A <= B)");
    else
        o.seeds = std::pair{first, last};
}

void ReadStructure(TrainOptions& o, OptionArgument& arg) {
    const int index = FindStructure(arg.value);
    if (index < 0)
        arg.Bad("bad value for --structure: '" + std::string(arg.value) +
                "' (not one of the 47 structures, e.g. 2:10:2)");
    else
        o.structure = index;
}

void ReadMode(TrainOptions& o, OptionArgument& arg) {
    const std::optional<int64_t> tag = arg.Integer(INT32_MIN, INT32_MAX);
    if (!tag)
        return;
    if (!FindLearnModeItem(static_cast<int32_t>(*tag)))
        arg.Bad("bad value for --mode: '" + std::string(arg.value) +
                "' (expected 14, 13, 12, 11, -1, -10, -50, -100, -250, -500, -1000, -5000 or "
                "-10000)");
    else
        o.mode = static_cast<int32_t>(*tag);
}

// One command-line option: its name, the name of its value in the usage (empty for a switch,
// which takes none), what it sets, and whether the usage lists it.
struct OptionEntry {
    std::string_view name;
    std::string_view valueName;
    void (*read)(TrainOptions& options, OptionArgument& argument);
    bool listed = true;
    // Passed on to the runs of --seeds (the options of --seeds itself are not).
    bool forwarded = true;
    // A line of its own in the usage, for an option whose use is not plain from its name.
    std::string_view note = {};
};

using Arg = OptionArgument&;

// Every option, in the order of the usage text.
constexpr OptionEntry Options[] = {
    {"--seed", "N", [](TrainOptions& o, Arg a) { a.StoreInteger(o.seed, 0, UINT32_MAX); }},
    {"--shape", "ID",
     [](TrainOptions& o, Arg a) { a.StoreInteger(o.shape, INT32_MIN, INT32_MAX); }},
    {"--amount", "N",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.generate.amount, 1, MaxPoints);
         o.generateGiven |= GivenAmount;
     }},
    {"--arrangement", "N",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.generate.arrangement, 0, 3);
         o.generateGiven |= GivenArrangement;
     }},
    {"--equal", "",
     [](TrainOptions& o, Arg) {
         o.generate.equal = true;
         o.generateGiven |= GivenEqual;
     }},
    {"--min-dist", "D", &ReadMinDistance},
    {"--min-dist-inside", "",
     [](TrainOptions& o, Arg) {
         o.generate.minDistInside = true;
         o.generateGiven |= GivenMinDistInside;
     }},
    {"--session", "FILE",
     [](TrainOptions& o, Arg a) {
         if (a.value.empty())
             a.Bad("bad value for --session: empty file name");
         else
             o.session = std::string(a.value);
     }},
    {"--points", "FILE",
     [](TrainOptions& o, Arg a) {
         if (a.value.empty())
             a.Bad("bad value for --points: empty file name");
         else
             o.points = std::string(a.value);
     }},
    {"--structure", "TEXT", &ReadStructure},
    {"--order", "N", [](TrainOptions& o, Arg a) { a.StoreInteger(o.order, 0, 4); }},
    {"--ni", "P",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.ni, ScrollBarNiInfo.min, ScrollBarNiInfo.max);
     }},
    {"--ni-min", "P",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.niMin, ScrollBarNiMinInfo.min, ScrollBarNiMinInfo.max);
     }},
    {"--down", "P",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.down, ScrollBarDownInfo.min, ScrollBarDownInfo.max);
     }},
    {"--alpha", "P",
     [](TrainOptions& o, Arg a) {
         a.StoreInteger(o.alpha, ScrollBarAlphaInfo.min, ScrollBarAlphaInfo.max);
     }},
    {"--no-momentum", "", [](TrainOptions& o, Arg) { o.noMomentum = true; }},
    {"--no-auto-decrease", "", [](TrainOptions& o, Arg) { o.noAutoDecrease = true; }},
    {"--premphase", "", [](TrainOptions& o, Arg) { o.premphase = true; }},
    {"--no-verify", "", [](TrainOptions& o, Arg) { o.noVerify = true; }},
    {"--mode", "M", &ReadMode},
    {"--continue", "", [](TrainOptions& o, Arg) { o.continueRuns = true; }},
    {"--restart-between-runs", "", [](TrainOptions& o, Arg) { o.restartBetweenRuns = true; }},
    {"--runs", "K", [](TrainOptions& o, Arg a) { a.StoreInteger(o.runs, 1, INT32_MAX); }},
    {"--max-epochs", "E",
     [](TrainOptions& o, Arg a) { a.StoreInteger(o.maxEpochs, 1, INT64_MAX); }},
    {"--steps", "K", [](TrainOptions& o, Arg a) { a.StoreInteger(o.steps, 1, INT64_MAX); }, true,
     true,
     "K Steps (single presentations, never a Reset) in place of the runs; not with --runs, "
     "--max-epochs, --restart-between-runs or --seeds"},
    {"--trace", "", [](TrainOptions& o, Arg) { o.trace = true; }},
    {"--dump-points", "", [](TrainOptions& o, Arg) { o.dumpPoints = true; }},
    {"--dump-network", "", [](TrainOptions& o, Arg) { o.dumpNetwork = true; }},
    {"--timeline-epoch", "E",
     [](TrainOptions& o, Arg a) { a.StoreInteger(o.timelineEpoch, 1, INT64_MAX); }, true, true,
     "with --dump-network: the network kept at the checkpoint of epoch E instead of the last "
     "one; not with --seeds"},
    {"--save-session", "FILE", [](TrainOptions& o, Arg a) { ReadOutputFile(o.saveSession, a); }},
    {"--history-csv", "FILE", [](TrainOptions& o, Arg a) { ReadOutputFile(o.historyCsv, a); }},
    {"--seeds", "A-B", &ReadSeeds, true, false},
    {"--jobs", "N", [](TrainOptions& o, Arg a) { a.StoreInteger(o.jobs, 1, 1024); }, true, false},
    // What --seeds gives each of its runs.
    {"--seeds-worker", "", [](TrainOptions& o, Arg) { o.seedsWorker = true; }, false},
    // Prints the usage text, which lists the options that shape the run.
    {"--help", "", [](TrainOptions& o, Arg) { o.help = true; }, false},
};
static_assert(std::size(Options) == 35);

// The usage text: the listed options, with their values, wrapped at UsageWidth columns.
std::string UsageText() {
    constexpr size_t UsageWidth = 88;
    std::string text = "usage: kestro-train [options]\n";
    std::string line;
    for (const OptionEntry& entry : Options) {
        if (!entry.listed)
            continue;
        std::string item(entry.name);
        if (!entry.valueName.empty())
            item += " " + std::string(entry.valueName);
        if (!line.empty() && line.size() + 2 + item.size() > UsageWidth) {
            text += line + "\n";
            line.clear();
        }
        line += "  " + item;
    }
    text += line + "\n";
    // The notes, wrapped with a hanging indent.
    for (const OptionEntry& entry : Options) {
        if (!entry.listed || entry.note.empty())
            continue;
        line = std::string(entry.name) + " " + std::string(entry.valueName) + ":";
        std::string_view rest = entry.note;
        while (!rest.empty()) {
            const size_t space = rest.find(' ');
            const std::string_view word = rest.substr(0, space);
            rest = space == std::string_view::npos ? "" : rest.substr(space + 1);
            if (line.size() + 1 + word.size() > UsageWidth) {
                text += line + "\n";
                line = "   ";
            }
            line += " " + std::string(word);
        }
        text += line + "\n";
    }
    return text + "Prints JSON Lines on stdout; see the README.\n";
}

const OptionEntry* FindOption(std::string_view name) {
    for (const OptionEntry& entry : Options)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

// The options of the command line, and the first bad option or value (empty when none).
struct ParsedOptions {
    TrainOptions options;
    std::string error;
    std::vector<std::string> forwarded;  // the arguments the runs of --seeds are given
};

// Options that make no sense with --seeds, which prints only the runs' end lines and makes one
// run of every seed.
constexpr std::string_view NotWithSeeds[] = {"--seed",           "--trace",        "--dump-points",
                                             "--dump-network",   "--save-session", "--history-csv",
                                             "--timeline-epoch", "--steps"};

// Options of runs, which --steps replaces.
constexpr std::string_view NotWithSteps[] = {"--runs", "--max-epochs", "--restart-between-runs"};

// Reads every argument; an error is noted and the rest is still read (a value that follows an
// option is taken as its value, whatever it looks like), so that nothing ends half-way.
ParsedOptions ParseOptions(const std::vector<std::string_view>& args) {
    ParsedOptions parsed;
    for (size_t a = 0; a < args.size(); ++a) {
        std::string_view name = args[a];
        std::optional<std::string_view> inlineValue;
        if (const size_t eq = name.find('='); name.starts_with("--") && eq != name.npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        OptionArgument argument{name, {}, parsed.error};
        const OptionEntry* entry = FindOption(name);
        if (!entry) {
            argument.Bad(name.starts_with("-") ? "unknown option " + std::string(name)
                                               : "unexpected argument '" + std::string(name) + "'");
            continue;
        }
        if (entry->valueName.empty() && inlineValue) {
            argument.Bad("option " + std::string(name) + " takes no value");
            continue;
        }
        const size_t from = a;
        if (!entry->valueName.empty()) {
            if (!inlineValue && a + 1 >= args.size()) {
                argument.Bad("missing value for " + std::string(name));
                continue;
            }
            argument.value = inlineValue ? *inlineValue : args[++a];
        }
        entry->read(parsed.options, argument);
        if (entry->forwarded)
            parsed.forwarded.insert(parsed.forwarded.end(), args.begin() + from,
                                    args.begin() + a + 1);
    }
    // Whether an option is on the command line.
    const auto given = [&args](std::string_view name) {
        return std::any_of(args.begin(), args.end(), [name](std::string_view arg) {
            return arg == name || arg.starts_with(std::string(name) + "=");
        });
    };
    const auto notWith = [&](std::string_view name, std::string_view other) {
        OptionArgument{name, {}, parsed.error}.Bad(
            "option " + std::string(name) + " cannot be combined with " + std::string(other));
    };
    if (parsed.options.seeds) {
        for (const std::string_view name : NotWithSeeds)
            if (given(name))
                notWith(name, "--seeds");
    } else if (parsed.options.jobs) {
        OptionArgument{"--jobs", {}, parsed.error}.Bad("option --jobs needs --seeds");
    }
    if (parsed.options.steps)
        for (const std::string_view name : NotWithSteps)
            if (given(name))
                notWith(name, "--steps");
    if (parsed.options.timelineEpoch && !parsed.options.dumpNetwork)
        OptionArgument{"--timeline-epoch", {}, parsed.error}.Bad(
            "option --timeline-epoch needs --dump-network");
    return parsed;
}

// --- JSON Lines output ---

// Collects the output and writes it to stdout in large pieces; held, only when flushed (so that
// an error found after the runs can still leave stdout empty).
class Output {
  public:
    explicit Output(bool hold = false) : hold_(hold) {}
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
        if (!hold_ && buffer_.size() >= 1 << 16)
            Flush();
    }
    // Drops what has not been written.
    void Discard() { buffer_.clear(); }
    void Flush() {
        if (!buffer_.empty())
            std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
        buffer_.clear();
        std::fflush(stdout);
    }

  private:
    std::string buffer_;
    bool hold_ = false;
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

// Seeds the shared generator as the window does when it is created: with the seed given, else
// from the clock.
void SeedGenerator(const TrainOptions& options) {
    if (options.seed)
        SetRandomSeed(*options.seed);
    else
        RandomizeFromClock();
}

// The generation options given on the command line into the state's.
void ApplyGenerateOptions(GenerateOptions& target, const TrainOptions& options) {
    const GenerateOptions& given = options.generate;
    if (options.generateGiven & GivenAmount)
        target.amount = given.amount;
    if (options.generateGiven & GivenArrangement)
        target.arrangement = given.arrangement;
    if (options.generateGiven & GivenEqual)
        target.equal = true;
    if (options.generateGiven & GivenMinDist) {
        target.minDistBetween = true;
        target.minDistance = given.minDistance;
    }
    if (options.generateGiven & GivenMinDistInside)
        target.minDistInside = true;
}

// Writes the one line of a file option that cannot be read.
void BadFile(std::string_view option, const std::string& file, const FileResult& result,
             std::string_view refused) {
    const std::string why = result.status == FileStatus::NotAFile ? "no such file"
                            : result.status == FileStatus::Refused && !refused.empty()
                                ? std::string(refused)
                                : result.message;
    std::fprintf(stderr, "%s: bad value for %s: '%s' (%s)\n", ProgramName.data(),
                 std::string(option).c_str(), file.c_str(), why.c_str());
}

// The window's start-up (the generator seeded as the window seeds it), or the session opened
// instead, then what the options name: the generator's seed and the shape pick over a session,
// the points file and the structure as the user would choose them. seed receives the
// generator's state after the seeding: the start-up's seed, or the session's state. False,
// with the message written, when a file cannot be read.
bool SetUp(KestroState& state, TrainingHost& host, const TrainOptions& options, uint32_t& seed) {
    if (options.session) {
        const FileResult opened = LoadSessionFile(*options.session, state);
        if (opened.status != FileStatus::Done) {
            BadFile("--session", *options.session, opened, "");
            return false;
        }
        ApplyGenerateOptions(state.generateOptions, options);
        if (options.seed)
            SetRandomSeed(*options.seed);
        seed = RandomSeed();
        if (options.shape) {
            if (!PickShape(*options.shape, state.generateOptions, state.shapeState, state.pointSet,
                           state.verifySet))
                std::fprintf(stderr, "%s: warning: the generation could not place every point\n",
                             ProgramName.data());
            RefreshAfterPointsChange(state, host, true);
        }
    } else {
        ApplyGenerateOptions(state.generateOptions, options);
        SeedGenerator(options);
        seed = RandomSeed();
        if (!StartUp(state, host, options.shape.value_or(ShapeWave)))
            std::fprintf(stderr, "%s: warning: the generation could not place every point\n",
                         ProgramName.data());
    }
    if (options.points) {
        const FileResult loaded = OpenPointsFile(state, host, *options.points);
        if (loaded.status != FileStatus::Done) {
            BadFile("--points", *options.points, loaded, "no points could be read from it");
            return false;
        }
    }
    if (options.structure)
        ChangeStructure(state, *options.structure);
    return true;
}

// The learning controls, as the user would set them: scroll bars, check boxes, order, mode.
void ApplyLearningControls(KestroState& state, const TrainOptions& options) {
    LearnControls& controls = state.controls;
    LearnParameters& params = state.learnParameters;
    if (options.ni) {
        controls.niPosition = *options.ni;
        ScrollBarNiChange(params, controls.niPosition);
    }
    if (options.down) {
        controls.downPosition = *options.down;
        ScrollBarDownChange(params, controls.downPosition);
        UpdateEpochDownRate(params, state.pointSet.count);
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
        state.learnMode = *options.mode;
    if (options.continueRuns)
        controls.resetAtBeginning = false;
}

void WriteStart(Output& out, const KestroState& state, uint32_t seed) {
    const ClassCounts counts = CountClasses(state.pointSet);
    const auto structure = static_cast<size_t>(state.structureIndex);
    out.Text("{\"event\":\"start\",\"seed\":").Int(seed);
    out.Text(",\"shape\":").Int(state.shapeState.shapeId);
    out.Text(",\"points\":").Int(counts.total);
    out.Text(",\"class1\":").Int(counts.class1);
    out.Text(",\"class2\":").Int(counts.class2);
    out.Text(",\"structure\":").String(StructureTexts[structure]).Text("}");
    out.EndLine();
}

// The "end" line of run number `run`, which made runEpochs epochs and `presentations`
// presentations in the elapsed time.
void WriteEnd(Output& out, const KestroState& state, int64_t run, int64_t runEpochs,
              int64_t presentations, std::chrono::steady_clock::duration elapsed) {
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const int64_t perSecond =
        seconds > 0 ? std::llround(static_cast<double>(presentations) / seconds) : 0;
    out.Text("{\"event\":\"end\",\"run\":").Int(run);
    out.Text(",\"epochs\":").Int(state.epochCount);
    out.Text(",\"run_epochs\":").Int(runEpochs);
    out.Text(",\"presentations\":").Int(state.presentationCount);
    out.Text(",\"error\":").Float(state.classificationError);
    out.Text(",\"ni\":").Float(state.learnParameters.ni);
    out.Text(",\"ms\":")
        .Int(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    out.Text(",\"per_s\":").Int(perSecond);
    out.Text(",\"saturated\":").Text(state.saturated ? "true" : "false").Text("}");
    out.EndLine();
}

// Run number `run` of Learn, and its "end" line.
void RunLearn(KestroState& state, TrainerHost& host, Output& out, int64_t run) {
    host.BeginRun(run);
    const auto began = std::chrono::steady_clock::now();
    Learn(state, host);
    const auto elapsed = std::chrono::steady_clock::now() - began;
    WriteEnd(out, state, run, host.RunEpochs(), host.RunPresentations(), elapsed);
}

// --steps: up to `steps` Steps (none without points), and an "end" line as of run 1 that counts
// them: the epochs they completed and their presentations.
void RunSteps(KestroState& state, TrainerHost& host, Output& out, int64_t steps) {
    host.BeginRun(1);
    const int64_t startEpoch = state.epochCount;
    const auto began = std::chrono::steady_clock::now();
    int64_t done = 0;
    while (done < steps && Step(state, host))
        ++done;
    const auto elapsed = std::chrono::steady_clock::now() - began;
    // An epoch the Steps have begun but not ended is counted by the network's age only.
    const int64_t completed = state.epochCount - startEpoch - (state.stepping.inEpoch ? 1 : 0);
    WriteEnd(out, state, 1, completed, done, elapsed);
}

// Which networks the timeline kept, for the message of an epoch it did not keep: their count,
// and their epochs as a stride when it is even.
std::string KeptEpochs(const Timeline& timeline) {
    const std::vector<TimelineEntry>& e = timeline.entries;
    if (e.empty())
        return "none was kept: no checkpoint since the network's last reset";
    const std::string count = std::to_string(e.size()) + (e.size() == 1 ? " network" : " networks");
    const std::string first = std::to_string(e.front().epoch);
    const std::string last = std::to_string(e.back().epoch);
    if (e.size() == 1)
        return "kept: 1 network, of epoch " + first;
    const int64_t stride = e[1].epoch - e[0].epoch;
    bool even = true;
    for (size_t i = 1; i < e.size(); ++i)
        even = even && e[i].epoch - e[i - 1].epoch == stride;
    if (even)
        return "kept: " + count + ", " +
               (stride == 1 ? std::string("every epoch")
                            : "every " + std::to_string(stride) + " epochs") +
               " from " + first + " to " + last;
    return "kept: " + count + " of epochs " + first + " to " + last +
           ", at checkpoints whose epoch is a multiple of " + std::to_string(timeline.step);
}

// Writes a file option's file after the runs; false, with the message written, when it fails.
bool WriteAfterRuns(const FileResult& written) {
    if (written.status == FileStatus::Done)
        return true;
    std::fprintf(stderr, "%s: error: %s\n", ProgramName.data(), written.message.c_str());
    return false;
}

// The whole job; the exit status (2 when a file of the options cannot be read, 1 when one that
// could be written before the runs cannot be written after them).
int Train(const TrainOptions& options) {
    auto state = std::make_unique<KestroState>();
    // Whether the epoch was kept is known only after the runs.
    Output out(options.timelineEpoch.has_value());
    TrainerHost host(*state, out, options);
    uint32_t seed = 0;
    if (!SetUp(*state, host, options, seed))
        return 2;
    ApplyLearningControls(*state, options);
    WriteStart(out, *state, seed);
    if (options.dumpPoints)
        for (int32_t i = 0; i < state->pointSet.count; ++i)
            WritePoint(out, i, state->pointSet.points[i]);
    if (options.steps) {
        RunSteps(*state, host, out, *options.steps);
    } else {
        for (int64_t run = 1; run <= options.runs; ++run) {
            // A Restart's run starts without the Reset that would undo it.
            if (run > 1 && options.restartBetweenRuns)
                RestartNetwork(*state, host);
            RunLearn(*state, host, out, run);
        }
    }
    if (options.timelineEpoch) {
        const int32_t entry = FindTimelineEpoch(state->timeline, *options.timelineEpoch);
        if (entry < 0) {
            out.Discard();
            std::fprintf(stderr, "%s: --timeline-epoch: no network of epoch %lld was kept (%s)\n",
                         ProgramName.data(), static_cast<long long>(*options.timelineEpoch),
                         KeptEpochs(state->timeline).c_str());
            return 2;
        }
        ShowTimelineEntry(*state, entry);
        WriteNeurons(out);
        ReturnToNow(*state);
    } else if (options.dumpNetwork) {
        WriteNeurons(out);
    }
    if (options.seedsWorker) {
        // Whether the last run ended by its learn mode's stop rule (not only by --max-epochs).
        const bool reached =
            LearnModeEnds(state->learnMode, state->classificationError, host.RunEpochs());
        out.Text("{\"event\":\"outcome\",\"reached\":").Text(reached ? "true" : "false");
        out.Text("}").EndLine();
    }
    out.Flush();
    if (options.saveSession && !WriteAfterRuns(SaveSessionFile(*options.saveSession, *state)))
        return 1;
    if (options.historyCsv && !WriteAfterRuns(ExportHistoriesCsv(*options.historyCsv, *state)))
        return 1;
    return 0;
}

// --- Many seeds: one process of this program per seed ---

// A started run of --seeds: its process and the read end of its stdout.
struct SeedRun {
    pid_t pid = -1;
    int fd = -1;
    std::string output;
    int status = 0;
};

// Starts this program with the arguments; its stdout goes to a pipe whose read end is returned.
SeedRun SpawnSelf(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot make a pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    SeedRun run;
    const int failed =
        posix_spawn(&run.pid, "/proc/self/exe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (failed != 0) {
        close(fds[0]);
        throw std::system_error(failed, std::generic_category(), "cannot start a run");
    }
    run.fd = fds[0];
    return run;
}

// Reads what is there; true at the end of the output, when the process has been waited for.
bool ReadSome(SeedRun& run) {
    char buffer[1 << 16];
    const ssize_t got = read(run.fd, buffer, sizeof buffer);
    if (got > 0) {
        run.output.append(buffer, static_cast<size_t>(got));
        return false;
    }
    if (got < 0 && errno == EINTR)
        return false;
    close(run.fd);
    while (waitpid(run.pid, &run.status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

// The text after "key": in a line, up to the next ',' or '}'.
std::string_view ValueOf(std::string_view line, std::string_view key) {
    const std::string tag = "\"" + std::string(key) + "\":";
    const size_t at = line.find(tag);
    if (at == std::string_view::npos)
        return {};
    const size_t from = at + tag.size();
    return line.substr(from, line.find_first_of(",}", from) - from);
}

// The value at the nearest rank of a percentile (1..100) of sorted values.
template <typename T>
T Percentile(const std::vector<T>& sorted, size_t percent) {
    return sorted[(percent * sorted.size() + 99) / 100 - 1];
}

// What the seeds' runs add up to: how many reached the stop rule and ended saturated, and each
// seed's last epochs and error, for the summary line.
struct SeedSummary {
    int64_t reached = 0;
    int64_t saturated = 0;
    std::vector<int64_t> epochs;
    std::vector<float> errors;

    // Prints the end lines of one seed's finished run with its seed, and counts its outcome.
    void Add(uint64_t seed, const SeedRun& run, Output& out) {
        std::string_view lastEnd;
        std::string_view rest = run.output;
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? "" : rest.substr(end + 1);
            constexpr std::string_view EndTag = "{\"event\":\"end\",";
            if (line.starts_with(EndTag)) {
                out.Text(EndTag).Text("\"seed\":").Int(static_cast<int64_t>(seed));
                out.Text(",").Text(line.substr(EndTag.size())).EndLine();
                lastEnd = line;
            } else if (line.starts_with("{\"event\":\"outcome\"")) {
                reached += ValueOf(line, "reached") == "true";
            }
        }
        saturated += ValueOf(lastEnd, "saturated") == "true";
        const std::string_view epochText = ValueOf(lastEnd, "epochs");
        const std::string_view errorText = ValueOf(lastEnd, "error");
        int64_t epochCount = 0;
        float error = 0;
        std::from_chars(epochText.data(), epochText.data() + epochText.size(), epochCount);
        std::from_chars(errorText.data(), errorText.data() + errorText.size(), error);
        epochs.push_back(epochCount);
        errors.push_back(error);
    }

    // The summary line.
    void Write(Output& out) {
        std::sort(epochs.begin(), epochs.end());
        std::sort(errors.begin(), errors.end());
        out.Text("{\"event\":\"summary\",\"runs\":").Int(static_cast<int64_t>(epochs.size()));
        out.Text(",\"reached\":").Int(reached);
        out.Text(",\"saturated\":").Int(saturated);
        out.Text(",\"epochs_median\":").Int(Percentile(epochs, 50));
        out.Text(",\"epochs_p90\":").Int(Percentile(epochs, 90));
        out.Text(",\"error_median\":").Float(Percentile(errors, 50)).Text("}");
        out.EndLine();
    }
};

// Why a seed's run failed, or empty when it exited with status 0.
std::string SeedFailure(uint64_t seed, const SeedRun& run) {
    if (WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0)
        return {};
    return "the run of seed " + std::to_string(seed) +
           (WIFEXITED(run.status)
                ? " ended with exit status " + std::to_string(WEXITSTATUS(run.status))
                : " was ended by signal " + std::to_string(WTERMSIG(run.status)));
}

// Waits until some running seeds have output or end; moves the ended ones to finished.
void CollectRuns(std::map<uint64_t, SeedRun>& running, std::map<uint64_t, SeedRun>& finished) {
    std::vector<pollfd> fds;
    for (const auto& [seed, run] : running)
        fds.push_back(pollfd{run.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
        throw std::system_error(errno, std::generic_category(), "poll");
    for (const pollfd& fd : fds) {
        if (fd.revents == 0)
            continue;
        const auto at = std::find_if(running.begin(), running.end(),
                                     [&fd](const auto& r) { return r.second.fd == fd.fd; });
        if (ReadSome(at->second)) {
            finished.insert(std::move(*at));
            running.erase(at);
        }
    }
}

// --seeds A-B: the same options once for every seed, `jobs` processes at a time; the end lines
// in seed order with their seed, then the summary. The output does not depend on `jobs`.
int RunSeeds(const ParsedOptions& parsed) {
    const TrainOptions& options = parsed.options;
    {
        // The files the runs read are checked once, here, and told as for one run.
        auto state = std::make_unique<KestroState>();
        Output none;
        TrainerHost host(*state, none, options);
        uint32_t seed = 0;
        if (!SetUp(*state, host, options, seed))
            return 2;
    }
    const uint64_t first = options.seeds->first;
    const uint64_t last = options.seeds->second;
    const size_t jobs = static_cast<size_t>(
        options.jobs.value_or(std::max(1, static_cast<int>(std::thread::hardware_concurrency()))));

    Output out;
    std::map<uint64_t, SeedRun> running, finished;
    uint64_t next = first;     // the next seed to start
    uint64_t printed = first;  // the next seed to print
    std::string failure;
    SeedSummary summary;
    while (printed <= last && (failure.empty() || !running.empty())) {
        while (failure.empty() && next <= last && running.size() < jobs) {
            std::vector<std::string> args = {std::string(ProgramName)};
            args.insert(args.end(), parsed.forwarded.begin(), parsed.forwarded.end());
            args.insert(args.end(), {"--seed", std::to_string(next), "--seeds-worker"});
            running.emplace(next++, SpawnSelf(args));
        }
        if (running.empty())
            break;
        CollectRuns(running, finished);
        // Seeds are printed in order, each as soon as it and all before it are done.
        for (auto done = finished.find(printed); failure.empty() && done != finished.end();
             done = finished.find(printed)) {
            failure = SeedFailure(printed, done->second);
            if (!failure.empty())
                break;
            summary.Add(printed, done->second, out);
            finished.erase(done);
            ++printed;
        }
    }
    if (!failure.empty()) {
        out.Flush();
        std::fprintf(stderr, "%s: error: %s\n", ProgramName.data(), failure.c_str());
        return 1;
    }
    summary.Write(out);
    return 0;
}

}  // namespace
}  // namespace kestro

int main(int argc, char** argv) {
    using namespace kestro;
    const ParsedOptions parsed = ParseOptions(std::vector<std::string_view>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "%s: %s\n", ProgramName.data(), parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        const std::string usage = UsageText();
        std::fwrite(usage.data(), 1, usage.size(), stdout);
        return 0;
    }
    try {
        if (parsed.options.seeds)
            return RunSeeds(parsed);
        return Train(parsed.options);
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: error: %s\n", ProgramName.data(), e.what());
        return 1;
    }
}
