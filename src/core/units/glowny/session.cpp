// The session file's JSON, written and read without the engine or the state's operations, so
// that the fuzz target can link it alone.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QString>
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/units/errors.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/session.h"
#include "core/units/nnet.h"

namespace kestro {

namespace {

// --- writing ---

// A float as a JSON value that reads back as the same float: its exact double, which Qt writes
// in the shortest form that reads back as that double. A negative zero and values that are not
// finite, which JSON numbers cannot carry, are strings.
QJsonValue FloatValue(float value) {
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (value == 0 && std::signbit(value))
        return QStringLiteral("-0");
    return static_cast<double>(value);
}

QJsonArray FloatArray(const float* values, size_t count) {
    QJsonArray array;
    for (size_t k = 0; k < count; ++k)
        array.append(FloatValue(values[k]));
    return array;
}

QJsonArray FloatArray(const std::vector<float>& values) {
    return FloatArray(values.data(), values.size());
}

QJsonValue IntValue(int64_t value) {
    return static_cast<qint64>(value);
}

QJsonArray PointArray(const SamplePoint* points, int32_t count) {
    QJsonArray array;
    for (int32_t i = 0; i < count; ++i) {
        const SamplePoint& p = points[i];
        array.append(
            QJsonArray{FloatValue(p.x), FloatValue(p.y), IntValue(p.classIndex), p.correct});
    }
    return array;
}

QJsonObject NetworkObject(const NetworkValues& n) {
    QJsonArray layers;
    for (const int32_t size : n.layerSizes)
        layers.append(IntValue(size));
    return QJsonObject{{"layers", layers},
                       {"bias", FloatArray(n.bias)},
                       {"previousBias", FloatArray(n.previousBias)},
                       {"delta", FloatArray(n.delta)},
                       {"output", FloatArray(n.output)},
                       {"weight", FloatArray(n.weight)},
                       {"previousWeight", FloatArray(n.previousWeight)}};
}

// The series' keys, in the order of HistorySeries.
constexpr const char* SeriesKeys[HistorySeriesCount] = {"ni", "error", "mse", "verify"};

QJsonObject HistoryObject(const ErrorHistory& h) {
    QJsonArray mins, maxes;
    for (int32_t k = 0; k < UsedSlots(h); ++k) {
        mins.append(FloatValue(h.slot[k].min));
        maxes.append(FloatValue(h.slot[k].max));
    }
    return QJsonObject{
        {"count", IntValue(h.count)}, {"step", IntValue(h.step)}, {"min", mins}, {"max", maxes}};
}

// Floats as base64 of their little-endian IEEE single-precision bytes: exact whatever the value
// (a negative zero, NaN with its payload), and much shorter than JSON numbers.
QJsonValue Base64Floats(const float* values, size_t count) {
    QByteArray bytes(static_cast<qsizetype>(count * 4), Qt::Uninitialized);
    for (size_t k = 0; k < count; ++k) {
        const auto bits = std::bit_cast<uint32_t>(values[k]);
        for (size_t b = 0; b < 4; ++b)
            bytes[static_cast<qsizetype>(4 * k + b)] = static_cast<char>((bits >> (8 * b)) & 0xff);
    }
    return QString::fromLatin1(bytes.toBase64());
}

// Indices as base64 of their little-endian 16-bit bytes.
QJsonValue Base64Indices(const uint16_t* values, size_t count) {
    QByteArray bytes(static_cast<qsizetype>(count * 2), Qt::Uninitialized);
    for (size_t k = 0; k < count; ++k) {
        bytes[static_cast<qsizetype>(2 * k)] = static_cast<char>(values[k] & 0xff);
        bytes[static_cast<qsizetype>(2 * k + 1)] = static_cast<char>(values[k] >> 8);
    }
    return QString::fromLatin1(bytes.toBase64());
}

// What an entry's run needs to go on from it.
QJsonObject ResumeObject(const Timeline& t, size_t i) {
    const TimelineEntry& e = t.entries[i];
    return {{"startEpoch", IntValue(e.startEpoch)},
            {"lastError", FloatValue(e.lastError)},
            {"lastFallEpoch", IntValue(e.lastFallEpoch)},
            {"saturated", e.saturated},
            {"order",
             Base64Indices(t.Order(static_cast<int32_t>(i)), static_cast<size_t>(e.orderCount))}};
}

QJsonObject TimelineObject(const SessionData& data) {
    const Timeline& t = data.state.timeline;
    const size_t neurons = data.network.bias.size();
    const size_t weights = data.network.weight.size();
    const size_t size = TimelineValueCount(data.network);
    KESTRO_ASSERT(data.timelineValues.size() == t.entries.size() * size);
    QJsonArray entries;
    for (size_t i = 0; i < t.entries.size(); ++i) {
        const TimelineEntry& e = t.entries[i];
        const float* v = data.timelineValues.data() + i * size;
        QJsonObject entry{
            {"epoch", IntValue(e.epoch)},
            {"presentationCount", IntValue(e.presentationCount)},
            {"historyCount", IntValue(e.historyCount)},
            {"historyStep", IntValue(e.historyStep)},
            {"ni", FloatValue(e.ni)},
            {"classificationError", FloatValue(e.classificationError)},
            {"meanSquaredError", FloatValue(e.meanSquaredError)},
            {"verifyError", FloatValue(e.verifyError)},
            {"classErrors", QJsonObject{{"wrong", QJsonArray{IntValue(e.classErrors.wrong[0]),
                                                             IntValue(e.classErrors.wrong[1])}},
                                        {"total", QJsonArray{IntValue(e.classErrors.total[0]),
                                                             IntValue(e.classErrors.total[1])}}}},
            {"generator", IntValue(e.generator)},
            {"bias", Base64Floats(v, neurons)},
            {"previousBias", Base64Floats(v + neurons, neurons)},
            {"weight", Base64Floats(v + 2 * neurons, weights)},
            {"previousWeight", Base64Floats(v + 2 * neurons + weights, weights)}};
        if (e.resumable)
            entry.insert(QLatin1String("resume"), ResumeObject(t, i));
        entries.append(entry);
    }
    return QJsonObject{{"step", IntValue(t.step)}, {"entries", entries}};
}

// --- reading ---

// The largest counter a file may hold: the largest integer a JSON number holds exactly, far
// beyond any run, and far enough below the counters' 64 bits that a run goes on from it safely.
constexpr int64_t MaxCounter = int64_t{1} << 53;

// Reads values out of the JSON tree; the first problem met is kept with the path of the value
// ("controls.niPosition"), and every later read then fails at once.
class Reader {
  public:
    bool Ok() const { return message_.empty(); }
    const std::string& Message() const { return message_; }

    bool Fail(const std::string& path, const std::string& problem) {
        if (message_.empty())
            message_ = path + ": " + problem;
        return false;
    }

    std::optional<QJsonValue> Get(const QJsonObject& object, const std::string& path,
                                  const char* key) {
        if (!Ok())
            return std::nullopt;
        const auto found = object.find(QLatin1String(key));
        if (found == object.end()) {
            Fail(Join(path, key), "missing");
            return std::nullopt;
        }
        return *found;
    }

    std::optional<QJsonObject> Object(const QJsonObject& object, const std::string& path,
                                      const char* key) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        if (!value)
            return std::nullopt;
        if (!value->isObject()) {
            Fail(Join(path, key), "expected an object");
            return std::nullopt;
        }
        return value->toObject();
    }

    // An array of exactly `count` elements, or of at most `-count` when count is negative.
    std::optional<QJsonArray> Array(const QJsonValue& value, const std::string& path,
                                    int64_t count) {
        if (!Ok())
            return std::nullopt;
        if (!value.isArray()) {
            Fail(path, "expected an array");
            return std::nullopt;
        }
        const QJsonArray array = value.toArray();
        const auto size = static_cast<int64_t>(array.size());
        if (count >= 0 && size != count) {
            Fail(path,
                 "expected " + std::to_string(count) + " elements, found " + std::to_string(size));
            return std::nullopt;
        }
        if (count < 0 && size > -count) {
            Fail(path, "at most " + std::to_string(-count) + " elements allowed, found " +
                           std::to_string(size));
            return std::nullopt;
        }
        return array;
    }
    std::optional<QJsonArray> Array(const QJsonObject& object, const std::string& path,
                                    const char* key, int64_t count) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        return value ? Array(*value, Join(path, key), count) : std::nullopt;
    }

    // A whole number from lo to hi.
    bool Int(const QJsonValue& value, const std::string& path, int64_t lo, int64_t hi,
             int64_t& out) {
        if (!Ok())
            return false;
        if (!value.isDouble())
            return Fail(path, "expected a whole number");
        // Qt keeps a whole number of the text exactly; anything else gives the default, and
        // two different defaults tell it.
        const int64_t number = value.toInteger(INT64_MIN);
        if (number != value.toInteger(INT64_MAX))
            return Fail(path, "expected a whole number");
        if (number < lo || number > hi)
            return Fail(path, std::to_string(number) + " is out of range (" + std::to_string(lo) +
                                  ".." + std::to_string(hi) + ")");
        out = number;
        return true;
    }
    template <typename T>
    bool Int(const QJsonObject& object, const std::string& path, const char* key, int64_t lo,
             int64_t hi, T& out) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        int64_t number = 0;
        if (!value || !Int(*value, Join(path, key), lo, hi, number))
            return false;
        out = static_cast<T>(number);
        return true;
    }

    bool Bool(const QJsonValue& value, const std::string& path, bool& out) {
        if (!Ok())
            return false;
        if (!value.isBool())
            return Fail(path, "expected true or false");
        out = value.toBool();
        return true;
    }
    bool Bool(const QJsonObject& object, const std::string& path, const char* key, bool& out) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        return value && Bool(*value, Join(path, key), out);
    }

    // A float as FloatValue writes it; with finite, only finite values. A number that is not a
    // float's exact double (a file written by hand) is rounded to the nearest float.
    bool Float(const QJsonValue& value, const std::string& path, bool finite, float& out) {
        if (!Ok())
            return false;
        if (value.isString()) {
            const QString text = value.toString();
            if (text == QLatin1String("-0")) {
                out = -0.0f;
                return true;
            }
            if (!finite) {
                if (text == QLatin1String("NaN")) {
                    out = std::numeric_limits<float>::quiet_NaN();
                    return true;
                }
                if (text == QLatin1String("Infinity") || text == QLatin1String("-Infinity")) {
                    out = text.startsWith(QLatin1Char('-'))
                              ? -std::numeric_limits<float>::infinity()
                              : std::numeric_limits<float>::infinity();
                    return true;
                }
            }
            return Fail(path, finite ? "expected a finite number" : "expected a number");
        }
        if (!value.isDouble())
            return Fail(path, "expected a number");
        const double d = value.toDouble();
        if (!(std::fabs(d) <= static_cast<double>(std::numeric_limits<float>::max())))
            return Fail(path, "the number is too large for a float");
        out = static_cast<float>(d);
        return true;
    }
    bool Float(const QJsonObject& object, const std::string& path, const char* key, bool finite,
               float& out) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        return value && Float(*value, Join(path, key), finite, out);
    }

    // An array of exactly count floats into out.
    bool Floats(const QJsonObject& object, const std::string& path, const char* key, size_t count,
                bool finite, float* out) {
        const std::optional<QJsonArray> array =
            Array(object, path, key, static_cast<int64_t>(count));
        if (!array)
            return false;
        for (size_t k = 0; k < count; ++k)
            if (!Float(array->at(static_cast<qsizetype>(k)), Index(Join(path, key), k), finite,
                       out[k]))
                return false;
        return true;
    }

    // The bytes of a base64 string.
    std::optional<QByteArray> Base64(const QJsonObject& object, const std::string& path,
                                     const char* key) {
        const std::optional<QJsonValue> value = Get(object, path, key);
        if (!value)
            return std::nullopt;
        const std::string at = Join(path, key);
        if (!value->isString()) {
            Fail(at, "expected a base64 string");
            return std::nullopt;
        }
        // A character outside Latin-1 becomes '?', which the decoding refuses.
        QByteArray::FromBase64Result decoded = QByteArray::fromBase64Encoding(
            value->toString().toLatin1(),
            QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            Fail(at, "not valid base64");
            return std::nullopt;
        }
        return std::move(*decoded);
    }

    // Exactly count floats as Base64Floats writes them into out.
    bool Base64Floats(const QJsonObject& object, const std::string& path, const char* key,
                      size_t count, float* out) {
        const std::optional<QByteArray> decoded = Base64(object, path, key);
        if (!decoded)
            return false;
        const std::string at = Join(path, key);
        const QByteArray& bytes = *decoded;
        if (static_cast<size_t>(bytes.size()) != 4 * count)
            return Fail(at, "decodes to " + std::to_string(bytes.size()) + " bytes, expected " +
                                std::to_string(count) + " floats (" + std::to_string(4 * count) +
                                " bytes)");
        const auto* raw = reinterpret_cast<const unsigned char*>(bytes.constData());
        for (size_t k = 0; k < count; ++k) {
            uint32_t bits = 0;
            for (size_t b = 0; b < 4; ++b)
                bits |= static_cast<uint32_t>(raw[4 * k + b]) << (8 * b);
            out[k] = std::bit_cast<float>(bits);
        }
        return true;
    }

    static std::string Join(const std::string& path, const char* key) {
        return path.empty() ? std::string(key) : path + "." + key;
    }
    static std::string Index(const std::string& path, size_t k) {
        return path + "[" + std::to_string(k) + "]";
    }

  private:
    std::string message_;
};

// The layer sizes of a structure text of the list (digits separated by ':').
std::vector<int32_t> StructureSizes(std::string_view text) {
    std::vector<int32_t> sizes;
    int32_t n = 0;
    for (const char c : text) {
        if (c == ':') {
            sizes.push_back(n);
            n = 0;
        } else {
            n = n * 10 + (c - '0');
        }
    }
    sizes.push_back(n);
    return sizes;
}

// Points as [x, y, class, correct]: exactly count of them, or at most -count.
bool ReadPoints(Reader& r, const QJsonObject& root, const char* key, int64_t count,
                SamplePoint* points, int32_t& read) {
    const std::optional<QJsonArray> array = r.Array(root, "", key, count);
    if (!array)
        return false;
    for (qsizetype i = 0; i < array->size(); ++i) {
        const std::string path = Reader::Index(key, static_cast<size_t>(i));
        const std::optional<QJsonArray> fields = r.Array(array->at(i), path, 4);
        if (!fields)
            return false;
        SamplePoint& p = points[i];
        int64_t classIndex = 0;
        if (!r.Float(fields->at(0), path + "[0]", true, p.x) ||
            !r.Float(fields->at(1), path + "[1]", true, p.y) ||
            !r.Int(fields->at(2), path + "[2]", 0, 8, classIndex) ||
            !r.Bool(fields->at(3), path + "[3]", p.correct))
            return false;
        p.classIndex = static_cast<int32_t>(classIndex);
    }
    read = static_cast<int32_t>(array->size());
    return true;
}

// A network whose layers must be `sizes`.
bool ReadNetwork(Reader& r, const QJsonObject& root, const char* key,
                 const std::vector<int32_t>& sizes, NetworkValues& n) {
    const std::optional<QJsonObject> object = r.Object(root, "", key);
    if (!object)
        return false;
    const std::optional<QJsonArray> layers =
        r.Array(*object, key, "layers", static_cast<int64_t>(sizes.size()));
    if (!layers)
        return false;
    for (size_t l = 0; l < sizes.size(); ++l) {
        int64_t size = 0;
        if (!r.Int(layers->at(static_cast<qsizetype>(l)),
                   Reader::Index(Reader::Join(key, "layers"), l), 0, INT32_MAX, size))
            return false;
        if (size != sizes[l])
            return r.Fail(Reader::Join(key, "layers"), "the layers do not fit the structure");
    }
    n.layerSizes = sizes;
    size_t neurons = 0;
    size_t weights = 0;
    for (size_t l = 0; l < sizes.size(); ++l) {
        neurons += static_cast<size_t>(sizes[l]);
        if (l > 0)
            weights += static_cast<size_t>(sizes[l]) * static_cast<size_t>(sizes[l - 1]);
    }
    const std::pair<const char*, std::vector<float>*> perNeuron[] = {
        {"bias", &n.bias},
        {"previousBias", &n.previousBias},
        {"delta", &n.delta},
        {"output", &n.output}};
    for (const auto& [name, values] : perNeuron) {
        values->resize(neurons);
        if (!r.Floats(*object, key, name, neurons, false, values->data()))
            return false;
    }
    const std::pair<const char*, std::vector<float>*> perWeight[] = {
        {"weight", &n.weight}, {"previousWeight", &n.previousWeight}};
    for (const auto& [name, values] : perWeight) {
        values->resize(weights);
        if (!r.Floats(*object, key, name, weights, false, values->data()))
            return false;
    }
    return true;
}

// One history: count and step as appending leaves them, and the used slots' minima and maxima.
bool ReadHistory(Reader& r, const QJsonObject& histories, const char* key, ErrorHistory& h) {
    const std::string path = Reader::Join("histories", key);
    const std::optional<QJsonObject> object = r.Object(histories, "histories", key);
    if (!object || !r.Int(*object, path, "step", 1, int64_t{1} << 52, h.step) ||
        !r.Int(*object, path, "count", 0, std::min(HistorySlots * h.step, MaxCounter), h.count))
        return false;
    if (!std::has_single_bit(static_cast<uint64_t>(h.step)))
        return r.Fail(path + ".step", "not a power of two");
    // A series halves when it is full, so past step 1 it holds more than half the slots.
    if (h.step > 1 && h.count <= HistorySlots / 2 * h.step)
        return r.Fail(path + ".count", "too small for the step");
    const auto used = static_cast<size_t>(UsedSlots(h));
    float mins[HistorySlots], maxes[HistorySlots];
    if (!r.Floats(*object, path, "min", used, false, mins) ||
        !r.Floats(*object, path, "max", used, false, maxes))
        return false;
    for (size_t k = 0; k < HistorySlots; ++k)
        h.slot[k] = k < used ? HistorySlot{mins[k], maxes[k]} : HistorySlot{};
    return true;
}

bool ReadControls(Reader& r, const QJsonObject& root, LearnControls& c) {
    const std::optional<QJsonObject> o = r.Object(root, "", "controls");
    if (!o)
        return false;
    const auto bar = [&](const char* key, const ScrollBarInfo& info, int32_t& position) {
        return r.Int(*o, "controls", key, info.min, info.max, position);
    };
    return bar("niPosition", ScrollBarNiInfo, c.niPosition) &&
           bar("downPosition", ScrollBarDownInfo, c.downPosition) &&
           bar("niMinPosition", ScrollBarNiMinInfo, c.niMinPosition) &&
           bar("alphaPosition", ScrollBarAlphaInfo, c.alphaPosition) &&
           r.Bool(*o, "controls", "autoDecrease", c.autoDecrease) &&
           r.Bool(*o, "controls", "momentum", c.momentum) &&
           r.Bool(*o, "controls", "premphase", c.premphase) &&
           r.Bool(*o, "controls", "verify", c.verify) &&
           r.Int(*o, "controls", "order", 0,
                 static_cast<int64_t>(PresentationOrderItems.size()) - 1, c.orderIndex) &&
           r.Bool(*o, "controls", "resetAtBeginning", c.resetAtBeginning);
}

// The format, its version and the generator's state.
bool ReadFormat(Reader& r, const QJsonObject& root, SessionData& data) {
    const std::optional<QJsonValue> format = r.Get(root, "", "format");
    if (!format)
        return false;
    if (format->toString() !=
        QLatin1String(SessionFormatName.data(), static_cast<qsizetype>(SessionFormatName.size())))
        return r.Fail("format", "not a session file");
    int64_t version = 0;
    if (!r.Int(root, "", "version", 0, INT32_MAX, version))
        return false;
    if (version != SessionFormatVersion)
        return r.Fail("version", "version " + std::to_string(version) +
                                     " is not supported (this program reads version " +
                                     std::to_string(SessionFormatVersion) + ")");
    if (!r.Int(root, "", "generator", 0, UINT32_MAX, data.generator))
        return false;
    return true;
}

// The structure: one of the list's texts, which the networks must fit.
bool ReadStructure(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    const std::optional<QJsonValue> structure = r.Get(root, "", "structure");
    if (!structure)
        return false;
    const std::string text = structure->toString().toStdString();
    s.structureIndex = -1;
    for (size_t k = 0; k < StructureTexts.size(); ++k)
        if (structure->isString() && StructureTexts[k] == text)
            s.structureIndex = static_cast<int32_t>(k);
    if (s.structureIndex < 0)
        return r.Fail("structure", "not one of the offered structures");
    const std::vector<int32_t> sizes = StructureSizes(text);
    if (!ReadNetwork(r, root, "network", sizes, data.network) ||
        !ReadNetwork(r, root, "restartNetwork", sizes, s.restartNetwork))
        return false;
    return true;
}

// Points, verify set, shape, generation options.
bool ReadPointsAndShape(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    if (!ReadPoints(r, root, "points", -MaxPoints, s.pointSet.points, s.pointSet.count))
        return false;
    int32_t verifyCount = 0;
    if (!ReadPoints(r, root, "verify", VerifySetSize, s.verifySet.points, verifyCount))
        return false;
    const std::optional<QJsonObject> shape = r.Object(root, "", "shape");
    if (!shape || !r.Int(*shape, "shape", "id", INT32_MIN, INT32_MAX, s.shapeState.shapeId) ||
        !r.Floats(*shape, "shape", "parameters", ShapeParameterCount, true,
                  s.shapeState.parameters))
        return false;
    const std::optional<QJsonObject> generation = r.Object(root, "", "generation");
    GenerateOptions& g = s.generateOptions;
    if (!generation || !r.Int(*generation, "generation", "amount", 1, MaxPoints, g.amount) ||
        !r.Int(*generation, "generation", "arrangement", 0, 3, g.arrangement) ||
        !r.Bool(*generation, "generation", "equal", g.equal) ||
        !r.Bool(*generation, "generation", "minDistBetween", g.minDistBetween) ||
        !r.Bool(*generation, "generation", "minDistInside", g.minDistInside) ||
        !r.Float(*generation, "generation", "minDistance", true, g.minDistance))
        return false;
    if (!(g.minDistance >= 0.0005f && g.minDistance <= 0.2005f))
        return r.Fail("generation.minDistance", "out of range (0.001..0.2)");
    return true;
}

// Whether one of a list's items holds the value in the field.
template <typename Items, typename Item>
bool Offered(const Items& items, int32_t Item::*field, int32_t value) {
    return std::any_of(items.begin(), items.end(),
                       [&](const Item& item) { return item.*field == value; });
}

// Learning parameters, controls, learn mode, draw period, pace.
bool ReadLearning(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    const std::optional<QJsonObject> learn = r.Object(root, "", "learn");
    LearnParameters& p = s.learnParameters;
    if (!learn || !r.Float(*learn, "learn", "ni", true, p.ni) ||
        !r.Float(*learn, "learn", "niMinimal", true, p.niMinimal) ||
        !r.Float(*learn, "learn", "downFactor", true, p.downFactor) ||
        !r.Float(*learn, "learn", "epochDownRate", true, p.epochDownRate) ||
        !r.Float(*learn, "learn", "alpha", true, p.alpha) || !ReadControls(r, root, s.controls) ||
        !r.Int(root, "", "learnMode", INT32_MIN, INT32_MAX, s.learnMode) ||
        !r.Int(root, "", "drawPeriod", 0, INT32_MAX, s.drawPeriod))
        return false;
    if (!Offered(LearnModeItems, &LearnModeItem::tag, s.learnMode))
        return r.Fail("learnMode", "not one of the learn modes");
    if (!Offered(DrawSpeedItems, &DrawSpeedItem::period, s.drawPeriod))
        return r.Fail("drawPeriod", "not one of the draw speeds");
    // Written since a run could be paced; older files run at full speed.
    s.pace = 0;
    if (root.contains(QLatin1String("pace"))) {
        if (!r.Int(root, "", "pace", 0, INT32_MAX, s.pace))
            return false;
        if (!Offered(PaceItems, &PaceItem::epochsPerSecond, s.pace))
            return r.Fail("pace", "not one of the paces");
    }
    return true;
}

// A saturation watch of a run that started after startEpoch, at an epoch no later than epoch.
bool ReadSaturationWatch(Reader& r, const QJsonObject& o, const std::string& path,
                         int64_t startEpoch, int64_t epoch, float& lastError,
                         int64_t& lastFallEpoch, bool& saturated) {
    if (!r.Float(o, path, "lastError", true, lastError) ||
        !r.Int(o, path, "lastFallEpoch", startEpoch, epoch, lastFallEpoch) ||
        !r.Bool(o, path, "saturated", saturated))
        return false;
    // 2 is the watch's value before its first checkpoint.
    if (!(lastError >= 0 && lastError <= 2))
        return r.Fail(Reader::Join(path, "lastError"), "out of range (0..2)");
    return true;
}

// Counters and the order array, a permutation of 0 to its count - 1.
bool ReadCountersAndOrder(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    const std::optional<QJsonObject> counters = r.Object(root, "", "counters");
    if (!counters ||
        !r.Int(*counters, "counters", "presentations", 0, MaxCounter, s.presentationCount) ||
        !r.Int(*counters, "counters", "lastStatus", 0, s.presentationCount, s.lastStatusCount) ||
        !r.Int(*counters, "counters", "epochs", 0, MaxCounter, s.epochCount) ||
        !r.Float(*counters, "counters", "classificationError", true, s.classificationError) ||
        !r.Bool(*counters, "counters", "restartPending", s.restartPending))
        return false;
    if (!(s.classificationError >= 0 && s.classificationError <= 1))
        return r.Fail("counters.classificationError", "out of range (0..1)");
    // Written after Continue From Here until the next run or Steps; older files have none.
    s.continueStartEpoch.reset();
    if (counters->contains(QLatin1String("continue"))) {
        const std::optional<QJsonObject> c = r.Object(*counters, "counters", "continue");
        int64_t start = 0;
        if (!c || !r.Int(*c, "counters.continue", "startEpoch", 0, s.epochCount, start) ||
            !ReadSaturationWatch(r, *c, "counters.continue", start, s.epochCount, s.lastError,
                                 s.lastFallEpoch, s.saturated))
            return false;
        s.continueStartEpoch = start;
    }
    const std::optional<QJsonArray> order = r.Array(root, "", "order", -MaxPoints);
    if (!order)
        return false;
    s.orderCount = static_cast<int32_t>(order->size());
    bool seen[MaxPoints] = {};
    for (int32_t i = 0; i < s.orderCount; ++i) {
        int64_t index = 0;
        if (!r.Int(order->at(i), Reader::Index("order", static_cast<size_t>(i)), 0,
                   s.orderCount - 1, index))
            return false;
        s.orderArray[i] = static_cast<int32_t>(index);
        if (seen[s.orderArray[i]])
            return r.Fail(Reader::Index("order", static_cast<size_t>(i)),
                          "the order is not a permutation");
        seen[s.orderArray[i]] = true;
    }
    return true;
}

// Histories: the four series hold the same count and step.
bool ReadHistories(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    const std::optional<QJsonObject> histories = r.Object(root, "", "histories");
    if (!histories)
        return false;
    for (int k = 0; k < HistorySeriesCount; ++k) {
        ErrorHistory& h = s.histories.series[k];
        if (!ReadHistory(r, *histories, SeriesKeys[k], h))
            return false;
        const ErrorHistory& first = s.histories.series[0];
        if (h.count != first.count || h.step != first.step)
            return r.Fail(Reader::Join("histories", SeriesKeys[k]),
                          "count and step differ from the other series'");
    }
    return true;
}

// One timeline entry's counters, measurements and generator.
bool ReadTimelineEntry(Reader& r, const QJsonObject& o, const std::string& path,
                       int64_t historyCount, int64_t historyStep, TimelineEntry& e) {
    if (!r.Int(o, path, "epoch", 0, MaxCounter, e.epoch) ||
        !r.Int(o, path, "presentationCount", 0, MaxCounter, e.presentationCount) ||
        !r.Int(o, path, "historyCount", 0, historyCount, e.historyCount) ||
        !r.Int(o, path, "historyStep", 1, historyStep, e.historyStep) ||
        !r.Float(o, path, "ni", true, e.ni) ||
        !r.Float(o, path, "classificationError", true, e.classificationError) ||
        !r.Float(o, path, "meanSquaredError", false, e.meanSquaredError) ||
        !r.Float(o, path, "verifyError", true, e.verifyError) ||
        !r.Int(o, path, "generator", 0, UINT32_MAX, e.generator))
        return false;
    // Continue From Here gives the histories this step: a power of two at which the entry's
    // values fit the slots.
    if (!std::has_single_bit(static_cast<uint64_t>(e.historyStep)) ||
        (e.historyCount + e.historyStep - 1) / e.historyStep > HistorySlots)
        return r.Fail(Reader::Join(path, "historyStep"),
                      "not a power of two at which historyCount fits the history");
    // Continue From Here makes them the state's error, which must read back from a session.
    if (!(e.classificationError >= 0 && e.classificationError <= 1))
        return r.Fail(Reader::Join(path, "classificationError"), "out of range (0..1)");
    if (!(e.verifyError >= 0 && e.verifyError <= 1))
        return r.Fail(Reader::Join(path, "verifyError"), "out of range (0..1)");
    const std::string classPath = Reader::Join(path, "classErrors");
    const std::optional<QJsonObject> classes = r.Object(o, path, "classErrors");
    if (!classes)
        return false;
    const std::optional<QJsonArray> wrong = r.Array(*classes, classPath, "wrong", 2);
    const std::optional<QJsonArray> total = r.Array(*classes, classPath, "total", 2);
    if (!wrong || !total)
        return false;
    for (size_t c = 0; c < 2; ++c) {
        const auto k = static_cast<qsizetype>(c);
        int64_t classTotal = 0, classWrong = 0;
        if (!r.Int(total->at(k), Reader::Index(Reader::Join(classPath, "total"), c), 0, MaxPoints,
                   classTotal) ||
            !r.Int(wrong->at(k), Reader::Index(Reader::Join(classPath, "wrong"), c), 0, classTotal,
                   classWrong))
            return false;
        e.classErrors.total[c] = static_cast<int32_t>(classTotal);
        e.classErrors.wrong[c] = static_cast<int32_t>(classWrong);
    }
    return true;
}

// What an entry's run needs to go on (optional: older files have none, and continuing from
// such an entry starts a new run): its start epoch before the entry's, its saturation watch, and
// its order array, a permutation of 0 to its count - 1, appended to orders.
bool ReadTimelineResume(Reader& r, const QJsonObject& o, const std::string& entryPath,
                        TimelineEntry& e, std::vector<uint16_t>& orders) {
    e.resumable = false;
    e.orderCount = 0;
    e.orderOffset = orders.size();
    if (!o.contains(QLatin1String("resume")))
        return true;
    const std::string path = Reader::Join(entryPath, "resume");
    const std::optional<QJsonObject> resume = r.Object(o, entryPath, "resume");
    if (!resume || !r.Int(*resume, path, "startEpoch", 0, e.epoch - 1, e.startEpoch) ||
        !ReadSaturationWatch(r, *resume, path, e.startEpoch, e.epoch, e.lastError, e.lastFallEpoch,
                             e.saturated))
        return false;
    const std::optional<QByteArray> bytes = r.Base64(*resume, path, "order");
    if (!bytes)
        return false;
    const std::string orderPath = Reader::Join(path, "order");
    const auto count = static_cast<size_t>(bytes->size()) / 2;
    if (bytes->size() % 2 != 0 || count > static_cast<size_t>(MaxPoints))
        return r.Fail(orderPath, "decodes to " + std::to_string(bytes->size()) +
                                     " bytes, expected at most " + std::to_string(MaxPoints) +
                                     " 16-bit indices");
    const auto* raw = reinterpret_cast<const unsigned char*>(bytes->constData());
    bool seen[MaxPoints] = {};
    for (size_t k = 0; k < count; ++k) {
        const auto index = static_cast<uint16_t>(raw[2 * k] | (raw[2 * k + 1] << 8));
        if (index >= count || seen[index])
            return r.Fail(orderPath, "the order is not a permutation");
        seen[index] = true;
        orders.push_back(index);
    }
    e.orderCount = static_cast<int32_t>(count);
    e.resumable = true;
    return true;
}

// The timeline: its step, then at most TimelineCapacity entries by strictly ascending epochs that
// are multiples of the step and no later than the session's epoch count, each with a network of
// the session's structure. Optional: files
// written before the timeline was saved have none, and open with an empty one.
bool ReadTimeline(Reader& r, const QJsonObject& root, SessionData& data) {
    Timeline& t = data.state.timeline;
    t = Timeline{};
    data.timelineValues.clear();
    if (!root.contains(QLatin1String("timeline")))
        return true;
    const std::optional<QJsonObject> timeline = r.Object(root, "", "timeline");
    if (!timeline || !r.Int(*timeline, "timeline", "step", 1, int64_t{1} << 62, t.step))
        return false;
    if (!std::has_single_bit(static_cast<uint64_t>(t.step)))
        return r.Fail("timeline.step", "not a power of two");
    const std::optional<QJsonArray> entries =
        r.Array(*timeline, "timeline", "entries", -int64_t{TimelineCapacity});
    if (!entries)
        return false;
    const size_t neurons = data.network.bias.size();
    const size_t weights = data.network.weight.size();
    const size_t size = TimelineValueCount(data.network);
    const int64_t historyCount = data.state.histories.series[0].count;
    const int64_t historyStep = data.state.histories.series[0].step;
    t.entries.resize(static_cast<size_t>(entries->size()));
    data.timelineValues.resize(t.entries.size() * size);
    for (size_t i = 0; i < t.entries.size(); ++i) {
        const std::string path = Reader::Index("timeline.entries", i);
        const QJsonValue value = entries->at(static_cast<qsizetype>(i));
        if (!value.isObject())
            return r.Fail(path, "expected an object");
        const QJsonObject o = value.toObject();
        TimelineEntry& e = t.entries[i];
        if (!ReadTimelineEntry(r, o, path, historyCount, historyStep, e) ||
            !ReadTimelineResume(r, o, path, e, t.orders))
            return false;
        if (e.epoch % t.step != 0)
            return r.Fail(path + ".epoch", "epoch " + std::to_string(e.epoch) +
                                               " is not a multiple of the step " +
                                               std::to_string(t.step));
        if (i > 0 && e.epoch <= t.entries[i - 1].epoch)
            return r.Fail(path + ".epoch", "the epochs do not ascend");
        // A later entry would stop the next run's checkpoints from being kept after it.
        if (e.epoch > data.state.epochCount)
            return r.Fail(path + ".epoch", "epoch " + std::to_string(e.epoch) +
                                               " is past the session's epoch count " +
                                               std::to_string(data.state.epochCount));
        float* v = data.timelineValues.data() + i * size;
        if (!r.Base64Floats(o, path, "bias", neurons, v) ||
            !r.Base64Floats(o, path, "previousBias", neurons, v + neurons) ||
            !r.Base64Floats(o, path, "weight", weights, v + 2 * neurons) ||
            !r.Base64Floats(o, path, "previousWeight", weights, v + 2 * neurons + weights))
            return false;
    }
    return true;
}

// What Restart puts back besides the network (optional: without it, as in files written before
// it was kept, Restart leaves the generator and the flags as they are).
bool ReadRestart(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    s.restartGenerator.reset();
    s.restartCorrect.clear();
    if (!root.contains(QLatin1String("restart")))
        return true;
    const std::optional<QJsonObject> restart = r.Object(root, "", "restart");
    uint32_t generator = 0;
    if (!restart || !r.Int(*restart, "restart", "generator", 0, UINT32_MAX, generator))
        return false;
    const std::optional<QJsonArray> correct = r.Array(*restart, "restart", "correct", -MaxPoints);
    if (!correct)
        return false;
    s.restartCorrect.resize(static_cast<size_t>(correct->size()));
    for (size_t p = 0; p < s.restartCorrect.size(); ++p) {
        bool flag = false;
        if (!r.Bool(correct->at(static_cast<qsizetype>(p)), Reader::Index("restart.correct", p),
                    flag))
            return false;
        s.restartCorrect[p] = flag ? 1 : 0;
    }
    s.restartGenerator = generator;
    return true;
}

// View settings.
bool ReadView(Reader& r, const QJsonObject& root, SessionData& data) {
    KestroState& s = data.state;
    const std::optional<QJsonObject> view = r.Object(root, "", "view");
    int32_t raster = 0;
    if (!view || !r.Int(*view, "view", "raster", -1, 2, raster) ||
        !r.Int(*view, "view", "neuron", -1, MaxNeurons - 1, s.viewNeuron) ||
        !r.Bool(*view, "view", "weightColors", s.showWeightColors) ||
        !r.Bool(*view, "view", "firstLayerLines", s.showFirstLayerLines) ||
        !r.Bool(*view, "view", "showPoints", s.showPoints) ||
        !r.Bool(*view, "view", "showAxes", s.showAxes) ||
        !r.Bool(*view, "view", "showError", s.showError) ||
        !r.Bool(*view, "view", "showVerify", s.showVerify) ||
        !r.Bool(*view, "view", "showMse", s.showMse) || !r.Bool(*view, "view", "showNi", s.showNi))
        return false;
    s.rasterMode = static_cast<RasterMode>(raster);
    // Written since the wrong points could be shown alone; older files show them all.
    s.showWrongOnly = false;
    if (view->contains(QLatin1String("wrongOnly")) &&
        !r.Bool(*view, "view", "wrongOnly", s.showWrongOnly))
        return false;
    // Written since the picture could follow every change; older files show the points alone.
    s.liveAnswer = false;
    if (view->contains(QLatin1String("liveAnswer")) &&
        !r.Bool(*view, "view", "liveAnswer", s.liveAnswer))
        return false;
    return true;
}

bool ReadAll(Reader& r, const QJsonObject& root, SessionData& data) {
    return ReadFormat(r, root, data) && ReadStructure(r, root, data) &&
           ReadPointsAndShape(r, root, data) && ReadLearning(r, root, data) &&
           ReadCountersAndOrder(r, root, data) && ReadHistories(r, root, data) &&
           ReadTimeline(r, root, data) && ReadRestart(r, root, data) && ReadView(r, root, data);
}

}  // namespace

size_t TimelineValueCount(const NetworkValues& network) {
    return 2 * network.bias.size() + 2 * network.weight.size();
}

namespace {

QJsonObject GenerationObject(const GenerateOptions& g) {
    return {{"amount", IntValue(g.amount)},
            {"arrangement", IntValue(g.arrangement)},
            {"equal", g.equal},
            {"minDistBetween", g.minDistBetween},
            {"minDistInside", g.minDistInside},
            {"minDistance", FloatValue(g.minDistance)}};
}

QJsonObject LearnObject(const LearnParameters& p) {
    return {{"ni", FloatValue(p.ni)},
            {"niMinimal", FloatValue(p.niMinimal)},
            {"downFactor", FloatValue(p.downFactor)},
            {"epochDownRate", FloatValue(p.epochDownRate)},
            {"alpha", FloatValue(p.alpha)}};
}

QJsonObject ControlsObject(const LearnControls& c) {
    return {{"niPosition", IntValue(c.niPosition)},
            {"downPosition", IntValue(c.downPosition)},
            {"niMinPosition", IntValue(c.niMinPosition)},
            {"alphaPosition", IntValue(c.alphaPosition)},
            {"autoDecrease", c.autoDecrease},
            {"momentum", c.momentum},
            {"premphase", c.premphase},
            {"verify", c.verify},
            {"order", IntValue(c.orderIndex)},
            {"resetAtBeginning", c.resetAtBeginning}};
}

QJsonObject CountersObject(const KestroState& s) {
    QJsonObject counters{{"presentations", IntValue(s.presentationCount)},
                         {"lastStatus", IntValue(s.lastStatusCount)},
                         {"restartPending", s.restartPending},
                         {"epochs", IntValue(s.epochCount)},
                         {"classificationError", FloatValue(s.classificationError)}};
    if (s.continueStartEpoch)
        counters.insert(QLatin1String("continue"),
                        QJsonObject{{"startEpoch", IntValue(*s.continueStartEpoch)},
                                    {"lastError", FloatValue(s.lastError)},
                                    {"lastFallEpoch", IntValue(s.lastFallEpoch)},
                                    {"saturated", s.saturated}});
    return counters;
}

// The generator's state and the points' correct flags that Restart puts back.
QJsonObject RestartObject(const KestroState& s) {
    QJsonArray correct;
    for (const uint8_t flag : s.restartCorrect)
        correct.append(flag != 0);
    return {{"generator", IntValue(*s.restartGenerator)}, {"correct", correct}};
}

QJsonObject ViewObject(const KestroState& s) {
    return {{"raster", IntValue(static_cast<int32_t>(s.rasterMode))},
            {"showPoints", s.showPoints},
            {"showAxes", s.showAxes},
            {"showError", s.showError},
            {"showVerify", s.showVerify},
            {"showMse", s.showMse},
            {"showNi", s.showNi},
            {"neuron", IntValue(s.viewNeuron)},
            {"weightColors", s.showWeightColors},
            {"firstLayerLines", s.showFirstLayerLines},
            {"wrongOnly", s.showWrongOnly},
            {"liveAnswer", s.liveAnswer}};
}

QString Latin1(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

std::string SessionJson(const SessionData& data) {
    const KestroState& s = data.state;
    KESTRO_ASSERT(s.structureIndex >= 0 &&
                  s.structureIndex < static_cast<int32_t>(StructureTexts.size()));
    const std::string_view structure = StructureTexts[static_cast<size_t>(s.structureIndex)];
    // A file whose networks do not fit its structure could not be opened again.
    KESTRO_ASSERT(data.network.layerSizes == StructureSizes(structure));
    KESTRO_ASSERT(s.restartNetwork.layerSizes == StructureSizes(structure));
    QJsonArray order;
    for (int32_t i = 0; i < s.orderCount; ++i)
        order.append(IntValue(s.orderArray[i]));
    QJsonObject histories;
    for (int k = 0; k < HistorySeriesCount; ++k)
        histories.insert(QLatin1String(SeriesKeys[k]), HistoryObject(s.histories.series[k]));

    // QJsonObject orders its keys alphabetically when written; the README lists them so.
    QJsonObject root{
        {"format", Latin1(SessionFormatName)},
        {"version", SessionFormatVersion},
        {"generator", IntValue(data.generator)},
        {"structure", Latin1(structure)},
        {"network", NetworkObject(data.network)},
        {"restartNetwork", NetworkObject(s.restartNetwork)},
        {"points", PointArray(s.pointSet.points, s.pointSet.count)},
        {"verify", PointArray(s.verifySet.points, VerifySetSize)},
        {"shape",
         QJsonObject{{"id", IntValue(s.shapeState.shapeId)},
                     {"parameters", FloatArray(s.shapeState.parameters, ShapeParameterCount)}}},
        {"generation", GenerationObject(s.generateOptions)},
        {"learn", LearnObject(s.learnParameters)},
        {"controls", ControlsObject(s.controls)},
        {"learnMode", IntValue(s.learnMode)},
        {"drawPeriod", IntValue(s.drawPeriod)},
        {"pace", IntValue(s.pace)},
        {"counters", CountersObject(s)},
        {"order", order},
        {"histories", histories},
        {"timeline", TimelineObject(data)},
        {"view", ViewObject(s)},
    };
    if (s.restartGenerator)
        root.insert(QLatin1String("restart"), RestartObject(s));
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    return std::string(json.constData(), static_cast<size_t>(json.size()));
}

bool ParseSession(std::string_view bytes, SessionData& data, std::string& message) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(
        QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError) {
        message = "not valid JSON at byte " + std::to_string(error.offset) + ": " +
                  error.errorString().toStdString() + "; cut short?";
        return false;
    }
    if (!document.isObject()) {
        message = "not a session file (no JSON object)";
        return false;
    }
    Reader reader;
    if (!ReadAll(reader, document.object(), data)) {
        message = reader.Ok() ? "not a session file" : reader.Message();
        return false;
    }
    return true;
}

}  // namespace kestro
