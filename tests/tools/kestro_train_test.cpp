// Exact-output tests of the headless trainer: runs the kestro-train program and reads its
// stdout, stderr and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/units/glowny/learnparams.h"

namespace kestro {
namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Runs kestro-train with the arguments (each passed as one word).
Result Train(const std::vector<std::string>& args) {
    static const std::filesystem::path dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kestro_train_test_XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        return std::filesystem::path(pattern);
    }();
    std::string command = "'" KESTRO_TRAIN_PATH "'";
    for (const std::string& arg : args) {
        command += " '";
        for (const char c : arg)
            command += c == '\'' ? std::string("'\\''") : std::string(1, c);
        command += "'";
    }
    command += " >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    const int raw = std::system(command.c_str());
    Result result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(dir / "out");
    result.err = ReadFile(dir / "err");
    return result;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

// The lines whose event is `event`.
std::vector<std::string> Events(const std::string& text, const std::string& event) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(text))
        if (line.rfind("{\"event\":\"" + event + "\"", 0) == 0)
            found.push_back(line);
    return found;
}

// The text after "key": up to the next ',' or '}' (or the whole array for "weights").
std::string Field(const std::string& line, const std::string& key) {
    const std::string tag = "\"" + key + "\":";
    const size_t at = line.find(tag);
    if (at == std::string::npos)
        return "";
    const size_t from = at + tag.size();
    const size_t to = line.find_first_of(line[from] == '[' ? "]" : ",}", from);
    return line.substr(from, to - from + (line[from] == '[' ? 1 : 0));
}

int64_t IntField(const std::string& line, const std::string& key) {
    return std::stoll(Field(line, key));
}

// Output without the wall-time fields, which differ from run to run, and what follows them on
// the end line (the saturation flag, checked on its own), so that the golden hash stays that of
// the fields before it.
std::string WithoutTimes(const std::string& text) {
    std::string result = text;
    for (size_t at = result.find(",\"ms\":"); at != std::string::npos;
         at = result.find(",\"ms\":", at)) {
        const size_t end = result.find('}', at);
        result.erase(at, end - at);
    }
    return result;
}

// The text with the first occurrence of `from` replaced.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Whether text is a JSON number that reads back completely as a float.
bool IsNumber(std::string_view text) {
    float value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// Matches a line against a pattern in which #I stands for an integer, #N for a number and #A for
// an array of numbers; everything else must be equal.
bool Matches(std::string_view line, std::string_view pattern) {
    size_t l = 0;
    for (size_t p = 0; p < pattern.size();) {
        if (pattern[p] == '#' && p + 1 < pattern.size()) {
            const char kind = pattern[p + 1];
            p += 2;
            if (kind == 'A') {
                if (l >= line.size() || line[l] != '[')
                    return false;
                const size_t close = line.find(']', l);
                if (close == std::string_view::npos)
                    return false;
                std::string_view inner = line.substr(l + 1, close - l - 1);
                while (!inner.empty()) {
                    const size_t comma = inner.find(',');
                    if (!IsNumber(inner.substr(0, comma)))
                        return false;
                    inner = comma == std::string_view::npos ? "" : inner.substr(comma + 1);
                }
                l = close + 1;
                continue;
            }
            const size_t end = line.find_first_of(",}]", l);
            const std::string_view token = line.substr(l, end - l);
            if (kind == 'I' && token.find_first_not_of("-0123456789") != std::string_view::npos)
                return false;
            if (!IsNumber(token))
                return false;
            l = end;
            continue;
        }
        if (l >= line.size() || line[l] != pattern[p])
            return false;
        ++l;
        ++p;
    }
    return l == line.size();
}

TEST(KestroTrain, BadOptionsGiveExitStatusTwoAndOneLine) {
    const std::vector<std::vector<std::string>> bad = {
        {"--amount", "0"},
        {"--amount", "2001"},
        {"--amount", "12x"},
        {"--seed", "-1"},
        {"--seed", "4294967296"},
        {"--seed", "abc"},
        {"--seed"},
        {"--shape", "2147483648"},
        {"--arrangement", "4"},
        {"--min-dist", "0.0005"},
        {"--min-dist", "0.25"},
        {"--min-dist", "0.0015"},
        {"--structure", "2:30:2"},
        {"--order", "5"},
        {"--ni", "101"},
        {"--ni-min", "0"},
        {"--down", "99899"},
        {"--down", "100000"},
        {"--alpha", "-1"},
        {"--mode", "7"},
        {"--mode", "-2"},
        {"--runs", "0"},
        {"--max-epochs", "0"},
        {"--bogus"},
        {"--equal=1"},
        {"extra"},
        {"--points", "/nonexistent/x.points"},
        {"--points", "/bin/ls"},  // a file that gives no point is refused
        {"--session", "/nonexistent/x.kestro"},
        {"--session", "/bin/ls"},  // not a session
        {"--save-session", "/nonexistent/x.kestro"},
        {"--history-csv", "/tmp"},  // a folder
        {"--seeds", "5-3"},
        {"--seeds", "1-2", "--dump-network"},
        {"--jobs", "2"},            // without --seeds
        {"--timeline-epoch", "5"},  // without --dump-network
        {"--steps", "0"},
        {"--steps", "9", "--max-epochs", "3"},
        {"--seeds", "1-2", "--steps", "5"},
    };
    for (const std::vector<std::string>& args : bad) {
        const Result r = Train(args);
        EXPECT_EQ(r.status, 2) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        ASSERT_FALSE(r.err.empty()) << args[0];
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        const std::string option = args[0].substr(0, args[0].find('='));
        EXPECT_NE(r.err.find(option), std::string::npos) << r.err;
    }
}

// A file that cannot be written is told before the runs: exit status 2, one line naming it and
// why, nothing on stdout, and nothing written, not even by the check of the other file (which
// the old order of things saved after the runs).
TEST(KestroTrain, FilesThatCannotBeWrittenAreToldBeforeTheRuns) {
    const std::filesystem::path session =
        std::filesystem::temp_directory_path() / "kestro_train_test_early.kestro";
    std::filesystem::remove(session);
    // Even root cannot create a file in /sys.
    const Result r = Train({"--seed", "2", "--mode", "14", "--max-epochs", "100000",
                            "--save-session", session.string(), "--history-csv", "/sys/k.csv"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "kestro-train: bad value for --history-csv: '/sys/k.csv' (cannot be written: "
              "Permission denied)\n");
    EXPECT_FALSE(std::filesystem::exists(session));
}

TEST(KestroTrain, TheSameSeedGivesTheSameOutput) {
    const std::vector<std::string> args = {
        "--seed", "7", "--amount",   "100",     "--mode",        "-50",
        "--runs", "2", "--continue", "--trace", "--dump-points", "--dump-network"};
    const Result first = Train(args);
    const Result second = Train(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.err, "");
    EXPECT_EQ(WithoutTimes(first.out), WithoutTimes(second.out));
    EXPECT_NE(WithoutTimes(first.out), first.out);  // the times were there to take out

    // Without --seed the clock's seed is printed; giving it back repeats the run.
    const Result clocked = Train({"--amount", "50", "--mode", "-10", "--dump-network"});
    ASSERT_EQ(clocked.status, 0);
    const std::string seed = Field(Lines(clocked.out)[0], "seed");
    const Result again =
        Train({"--seed", seed, "--amount", "50", "--mode", "-10", "--dump-network"});
    EXPECT_EQ(WithoutTimes(clocked.out), WithoutTimes(again.out));
}

TEST(KestroTrain, LinesHaveTheirKeysInOrder) {
    const Result r = Train({"--seed", "7", "--amount", "100", "--mode", "14", "--max-epochs", "3",
                            "--trace", "--dump-points", "--dump-network"});
    ASSERT_EQ(r.status, 0);
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 1u + 100u + 3u + 1u + 14u);
    EXPECT_TRUE(Matches(lines[0],
                        "{\"event\":\"start\",\"seed\":7,\"shape\":9,\"points\":100,"
                        "\"class1\":#I,\"class2\":#I,\"structure\":\"2:10:2\"}"))
        << lines[0];
    EXPECT_EQ(IntField(lines[0], "class1") + IntField(lines[0], "class2"), 100);
    for (int i = 0; i < 100; ++i) {
        const std::string& line = lines[1 + i];
        ASSERT_TRUE(Matches(line, "{\"event\":\"point\",\"i\":#I,\"x\":#N,\"y\":#N,\"class\":#I}"))
            << line;
        EXPECT_EQ(IntField(line, "i"), i);
        EXPECT_TRUE(Field(line, "class") == "0" || Field(line, "class") == "1") << line;
    }
    for (int e = 1; e <= 3; ++e) {
        const std::string& line = lines[100 + e];
        ASSERT_TRUE(Matches(line,
                            "{\"event\":\"checkpoint\",\"run\":1,\"epoch\":#I,\"error\":#N,"
                            "\"mse\":#N,\"verify\":#N,\"ni\":#N}"))
            << line;
        EXPECT_EQ(IntField(line, "epoch"), e);
    }
    EXPECT_TRUE(Matches(lines[104],
                        "{\"event\":\"end\",\"run\":1,\"epochs\":3,\"run_epochs\":3,"
                        "\"presentations\":300,\"error\":#N,\"ni\":#N,\"ms\":#I,\"per_s\":#I,"
                        "\"saturated\":false}"))
        << lines[104];
    EXPECT_EQ(Field(lines[104], "error"), Field(lines[103], "error"));
    // 2:10:2: 14 neurons; inputs without weights, hidden with 2, outputs with 10.
    for (int i = 0; i < 14; ++i) {
        const std::string& line = lines[105 + i];
        ASSERT_TRUE(Matches(
            line, "{\"event\":\"neuron\",\"i\":#I,\"layer\":#I,\"bias\":#N,\"weights\":#A}"))
            << line;
        EXPECT_EQ(IntField(line, "i"), i);
        const int layer = i < 2 ? 0 : i < 12 ? 1 : 2;
        EXPECT_EQ(IntField(line, "layer"), layer);
        const std::string weights = Field(line, "weights");
        const int commas = static_cast<int>(std::count(weights.begin(), weights.end(), ','));
        EXPECT_EQ(weights == "[]" ? 0 : commas + 1, layer == 0 ? 0 : layer == 1 ? 2 : 10) << line;
    }
    // The matcher itself rejects what it must.
    EXPECT_FALSE(Matches("{\"x\":1.5}", "{\"x\":#I}"));
    EXPECT_FALSE(Matches("{\"x\":1.5x}", "{\"x\":#N}"));
    EXPECT_FALSE(Matches("{\"w\":[1,,2]}", "{\"w\":#A}"));
    EXPECT_FALSE(Matches("{\"y\":1}", "{\"x\":#I}"));
}

TEST(KestroTrain, FloatsAreTheShortestTextOfTheirFloat) {
    const Result r = Train({"--seed", "3", "--amount", "60", "--mode", "-10", "--trace",
                            "--dump-points", "--dump-network"});
    ASSERT_EQ(r.status, 0);
    int seen = 0;
    for (const std::string& line : Lines(r.out)) {
        // Every unquoted value with a point or an exponent is a float.
        size_t from = 0;
        while (from < line.size()) {
            const size_t end = line.find_first_of(",:[]{}", from);
            const std::string token = line.substr(from, end - from);
            from = end == std::string::npos ? line.size() : end + 1;
            if (token.empty() || token[0] == '"' || token == "true" || token == "false" ||
                token.find_first_of(".e") == std::string::npos)
                continue;
            float value = 0;
            ASSERT_TRUE(IsNumber(token)) << token;
            std::from_chars(token.data(), token.data() + token.size(), value);
            char shortest[32];
            const auto done = std::to_chars(shortest, shortest + sizeof shortest, value);
            ASSERT_EQ(std::string(shortest, done.ptr), token);
            ++seen;
        }
    }
    EXPECT_GT(seen, 200);
}

TEST(KestroTrain, CheckpointCadenceAndCounts) {
    const Result r =
        Train({"--seed", "5", "--amount", "25", "--mode", "14", "--max-epochs", "2010", "--trace"});
    ASSERT_EQ(r.status, 0);
    const std::vector<std::string> checkpoints = Events(r.out, "checkpoint");
    ASSERT_EQ(checkpoints.size(), 2001u + 5u);
    for (int e = 1; e <= 2001; ++e)
        ASSERT_EQ(IntField(checkpoints[e - 1], "epoch"), e);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(IntField(checkpoints[2001 + k], "epoch"), 2002 + 2 * k);
    const std::string end = Events(r.out, "end").at(0);
    EXPECT_EQ(IntField(end, "epochs"), 2010);
    EXPECT_EQ(IntField(end, "run_epochs"), 2010);
    EXPECT_EQ(IntField(end, "presentations"), 2010 * 25);
}

TEST(KestroTrain, RunsContinueOrReset) {
    Result r =
        Train({"--seed", "5", "--amount", "50", "--mode", "-10", "--runs", "2", "--continue"});
    std::vector<std::string> ends = Events(r.out, "end");
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(IntField(ends[1], "run"), 2);
    EXPECT_EQ(IntField(ends[1], "epochs"), 20);
    EXPECT_EQ(IntField(ends[1], "run_epochs"), 10);
    EXPECT_EQ(IntField(ends[1], "presentations"), 1000);

    r = Train({"--seed", "5", "--amount", "50", "--mode", "-10", "--runs", "2"});
    ends = Events(r.out, "end");
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(IntField(ends[1], "epochs"), 10);
    EXPECT_EQ(IntField(ends[1], "presentations"), 500);
}

TEST(KestroTrain, LearningControlsAreAppliedAsTheUserSetsThem) {
    // ni 0.9 decays by 0.999^400 per epoch with --down 99900.
    LearnParameters p;
    ScrollBarDownChange(p, 99900);
    const float rate = EpochDownRate(p.downFactor, 400);
    const float expected = static_cast<float>(0.9f * static_cast<double>(rate));
    Result r = Train({"--seed", "2", "--down", "99900", "--mode", "-1", "--trace"});
    std::string checkpoint = Events(r.out, "checkpoint").at(0);
    EXPECT_EQ(std::stof(Field(checkpoint, "ni")), expected) << checkpoint;

    r = Train({"--seed", "2", "--ni", "50", "--no-auto-decrease", "--no-verify", "--mode", "-10",
               "--trace"});
    for (const std::string& line : Events(r.out, "checkpoint")) {
        EXPECT_EQ(Field(line, "ni"), "0.5") << line;
        EXPECT_EQ(Field(line, "verify"), "0") << line;
    }

    // ni 0: nothing is learnt, so the error never changes; presentations are still counted.
    r = Train({"--seed", "2", "--ni", "0", "--no-auto-decrease", "--mode", "-10", "--trace",
               "--order", "0"});
    const std::vector<std::string> checkpoints = Events(r.out, "checkpoint");
    ASSERT_EQ(checkpoints.size(), 10u);
    for (const std::string& line : checkpoints)
        EXPECT_EQ(Field(line, "mse"), Field(checkpoints[0], "mse"));
    EXPECT_EQ(IntField(Events(r.out, "end").at(0), "presentations"), 4000);

    // Momentum off changes the training.
    const Result with = Train({"--seed", "2", "--mode", "-10", "--dump-network"});
    const Result without =
        Train({"--seed", "2", "--mode", "-10", "--dump-network", "--no-momentum"});
    EXPECT_NE(WithoutTimes(with.out), WithoutTimes(without.out));
}

TEST(KestroTrain, PointsFileAndStructure) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "kestro_train_test_points.points";
    {
        std::ofstream file(path, std::ios::binary);
        file << "; points\r\n0.5\t-0.25\t1\r\n0\t1\t2\r\n-0.75\t0.125\t2\r\n0.1\t0.2\t3\r\n";
    }
    const Result r = Train({"--seed", "1", "--points", path.string(), "--structure", "2:5:5:5:2",
                            "--dump-points", "--dump-network", "--mode", "-1"});
    std::filesystem::remove(path);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    EXPECT_EQ(lines[0],
              "{\"event\":\"start\",\"seed\":1,\"shape\":9,\"points\":4,\"class1\":1,"
              "\"class2\":2,\"structure\":\"2:5:5:5:2\"}");
    EXPECT_EQ(lines[1], "{\"event\":\"point\",\"i\":0,\"x\":0.5,\"y\":-0.25,\"class\":0}");
    EXPECT_EQ(lines[2], "{\"event\":\"point\",\"i\":1,\"x\":0,\"y\":1,\"class\":1}");
    EXPECT_EQ(lines[3], "{\"event\":\"point\",\"i\":2,\"x\":-0.75,\"y\":0.125,\"class\":1}");
    EXPECT_EQ(lines[4], "{\"event\":\"point\",\"i\":3,\"x\":0.1,\"y\":0.2,\"class\":2}");
    EXPECT_EQ(IntField(Events(r.out, "end").at(0), "presentations"), 4);
    EXPECT_EQ(Events(r.out, "neuron").size(), 19u);
}

// The lines of an output from its first end line on, without the run numbers and the times.
std::string FromFirstEnd(const std::string& text) {
    std::string rest = WithoutTimes(text.substr(text.find("{\"event\":\"end\"")));
    for (size_t at = rest.find("\"run\":"); at != std::string::npos;
         at = rest.find("\"run\":", at + 1))
        rest.erase(at + 6, rest.find(',', at) - at - 6);
    return rest;
}

TEST(KestroTrain, SavingASessionBetweenRunsChangesNothing) {
    const std::string session =
        (std::filesystem::temp_directory_path() / "kestro_train_test.kestro").string();
    for (const std::string order : {"0", "1", "2", "3", "4"}) {
        for (const std::string variant : {"", "--premphase", "--no-verify"}) {
            std::vector<std::string> common = {"--mode", "14", "--continue", "--max-epochs",
                                               "1000"};
            std::vector<std::string> first = {"--seed", "3", "--order", order};
            if (!variant.empty())
                first.push_back(variant);
            first.insert(first.end(), common.begin(), common.end());
            std::vector<std::string> both = first;
            both.insert(both.end(), {"--runs", "2", "--dump-network"});
            first.insert(first.end(), {"--save-session", session});
            std::vector<std::string> second = {"--session", session, "--dump-network"};
            second.insert(second.end(), common.begin(), common.end());

            const Result whole = Train(both);
            ASSERT_EQ(whole.status, 0) << whole.err;
            ASSERT_EQ(Train(first).status, 0);
            const Result resumed = Train(second);
            ASSERT_EQ(resumed.status, 0) << resumed.err;
            // The second run's end line and the network after it.
            const std::string expected =
                FromFirstEnd(whole.out.substr(whole.out.find("{\"event\":\"end\",\"run\":2")));
            EXPECT_EQ(FromFirstEnd(resumed.out), expected) << order << variant;
            EXPECT_EQ(IntField(Events(resumed.out, "end").at(0), "epochs"), 2000);
        }
    }
    std::filesystem::remove(session);
}

TEST(KestroTrain, RestartBetweenRunsAndHistoryCsv) {
    const std::string csv =
        (std::filesystem::temp_directory_path() / "kestro_train_test.csv").string();
    const Result r = Train({"--seed", "4", "--amount", "50", "--premphase", "--mode", "-10",
                            "--runs", "2", "--restart-between-runs", "--history-csv", csv});
    ASSERT_EQ(r.status, 0) << r.err;
    // Restarted (generator and flags included), the run repeats the first one exactly, though its
    // order draws from the generator and its premphase pass reads the flags.
    const std::vector<std::string> ends = Events(WithoutTimes(r.out), "end");
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1], Replaced(ends[0], "\"run\":1", "\"run\":2"));
    EXPECT_EQ(IntField(ends[1], "epochs"), 10);

    const std::vector<std::string> rows = Lines(ReadFile(csv));
    std::filesystem::remove(csv);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[0], "epoch,ni,error,mse,verify");
    EXPECT_EQ(rows[10].substr(0, 3), "10,");
    EXPECT_EQ(rows[10].substr(rows[10].find(',', 3) + 1, Field(ends[1], "error").size() + 1),
              Field(ends[1], "error") + ",");
}

TEST(KestroTrain, SeedsGiveTheSameOutputWhateverTheJobs) {
    const std::vector<std::string> args = {"--seeds", "3-8", "--amount", "60",
                                           "--mode",  "-10", "--order",  "1"};
    std::vector<std::string> one = args, two = args;
    one.insert(one.end(), {"--jobs", "1"});
    two.insert(two.end(), {"--jobs", "2"});
    const Result serial = Train(one);
    const Result parallel = Train(two);
    ASSERT_EQ(serial.status, 0) << serial.err;
    ASSERT_EQ(parallel.status, 0) << parallel.err;
    EXPECT_EQ(WithoutTimes(serial.out), WithoutTimes(parallel.out));
    const std::vector<std::string> lines = Lines(parallel.out);
    ASSERT_EQ(lines.size(), 7u);
    // Each seed's end line is the one run of that seed prints.
    for (int k = 0; k < 6; ++k) {
        const std::string seed = std::to_string(3 + k);
        EXPECT_EQ(Field(lines[static_cast<size_t>(k)], "seed"), seed);
        const Result single =
            Train({"--seed", seed, "--amount", "60", "--mode", "-10", "--order", "1"});
        EXPECT_EQ(WithoutTimes(Replaced(lines[static_cast<size_t>(k)], ",\"seed\":" + seed, "")),
                  WithoutTimes(Events(single.out, "end").at(0)));
    }
    EXPECT_TRUE(Matches(lines[6],
                        "{\"event\":\"summary\",\"runs\":6,\"reached\":6,\"saturated\":0,"
                        "\"epochs_median\":10,\"epochs_p90\":10,\"error_median\":#N}"))
        << lines[6];
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(KestroTrain, TimelineEpochPrintsTheNetworkOfARunStoppedThere) {
    const std::vector<std::string> common = {"--seed", "5",  "--amount",       "50",
                                             "--mode", "14", "--dump-network", "--max-epochs"};
    // Past the thinning (every 4th epoch kept by 2500), the run's first and last checkpoint.
    for (const auto& [epoch, run] : {std::pair{"1200", "2500"}, {"1", "30"}, {"30", "30"}}) {
        const Result kept = Train(Joined(common, {run, "--timeline-epoch", epoch}));
        ASSERT_EQ(kept.status, 0) << kept.err;
        ASSERT_EQ(Events(kept.out, "neuron").size(), 14u);
        EXPECT_EQ(Events(kept.out, "neuron"), Events(Train(Joined(common, {epoch})).out, "neuron"));
        EXPECT_EQ(Field(Events(kept.out, "end").at(0), "epochs"), run);
    }
    EXPECT_NE(Events(Train(Joined(common, {"2500"})).out, "neuron"),
              Events(Train(Joined(common, {"1200"})).out, "neuron"));

    // An epoch not kept: one line that tells what was, exit status 2, nothing on stdout.
    for (const auto& [run, told] :
         {std::pair{"2500",
                    "epoch 1202 was kept (kept: 625 networks, every 4 epochs from 4 to "
                    "2500)"},
          {"20", "epoch 1202 was kept (kept: 20 networks, every epoch from 1 to 20)"}}) {
        const Result r = Train(Joined(common, {run, "--trace", "--timeline-epoch", "1202"}));
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err,
                  "kestro-train: --timeline-epoch: no network of " + std::string(told) + "\n");
    }
}

TEST(KestroTrain, StepsGiveWhatARunWithoutResetGives) {
    for (const std::string variant : {"--no-verify", "--premphase", "--order=1"}) {
        const std::vector<std::string> common = {"--seed", "5",       "--amount",      "50",
                                                 variant,  "--trace", "--dump-network"};
        const Result run =
            Train(Joined(common, {"--mode", "14", "--continue", "--max-epochs", "3"}));
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string end = Events(run.out, "end").at(0);
        const Result steps = Train(Joined(common, {"--steps", Field(end, "presentations")}));
        ASSERT_EQ(steps.status, 0) << steps.err;
        EXPECT_EQ(Events(steps.out, "checkpoint"), Events(run.out, "checkpoint")) << variant;
        EXPECT_EQ(WithoutTimes(Events(steps.out, "end").at(0)), WithoutTimes(end)) << variant;
        EXPECT_EQ(Field(end, "run_epochs"), "3");
        // The input neurons' biases hold the last input evaluated, not trained values.
        const std::vector<std::string> a = Events(run.out, "neuron");
        const std::vector<std::string> b = Events(steps.out, "neuron");
        ASSERT_EQ(a.size(), 14u);
        ASSERT_EQ(b.size(), 14u);
        for (size_t i = 2; i < a.size(); ++i)
            EXPECT_EQ(a[i], b[i]) << variant;
    }
}

TEST(KestroTrain, GoldenOutput) {
    const Result r =
        Train({"--seed", "1", "--shape", "11", "--amount", "200", "--mode", "-1000", "--order", "3",
               "--premphase", "--trace", "--dump-points", "--dump-network"});
    ASSERT_EQ(r.status, 0);
    const std::string text = WithoutTimes(r.out);
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    const std::vector<std::string> lines = Lines(text);
    std::printf("golden trainer output: %zu lines, hash %016llx, last end line %s\n", lines.size(),
                static_cast<unsigned long long>(hash), Events(text, "end").at(0).c_str());
    EXPECT_EQ(hash, 0xca7d0f8c7926b26aull) << std::hex << "got " << hash;
    EXPECT_EQ(Field(Events(r.out, "end").at(0), "saturated"), "false");
}

}  // namespace
}  // namespace kestro
