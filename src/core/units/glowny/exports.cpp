#include "core/units/glowny/exports.h"

#include <charconv>
#include <cstdint>

#include "core/units/errors.h"
#include "core/units/glowny/learnparams.h"
#include "core/units/glowny/training.h"

namespace kestro {

namespace {

// The shortest text that reads back as the same float ("nan", "inf" and "-inf" as such).
void AppendFloat(std::string& text, float value) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    KESTRO_ASSERT(result.ec == std::errc());
    text.append(digits, result.ptr);
}

// A float as a JSON value: null for a value JSON cannot hold.
void AppendJsonFloat(std::string& text, float value) {
    if (value != value || value - value != 0)
        text += "null";
    else
        AppendFloat(text, value);
}

}  // namespace

std::string HistoriesCsv(const ErrorHistories& histories) {
    std::string text = "epoch,ni,error,mse,verify\n";
    const ErrorHistory& first = histories.series[0];
    for (const ErrorHistory& h : histories.series)
        KESTRO_ASSERT(h.count == first.count && h.step == first.step);
    const int32_t used = UsedSlots(first);
    for (int32_t k = 0; k < used; ++k) {
        const int64_t last = (static_cast<int64_t>(k) + 1) * first.step;
        text += std::to_string(last < first.count ? last : first.count);
        for (const ErrorHistory& h : histories.series) {
            text += ',';
            AppendFloat(text, h.slot[k].max);
        }
        text += '\n';
    }
    return text;
}

std::string NetworkJson(std::string_view structure, const NetworkValues& values) {
    std::string text =
        "{\n  \"format\": \"kestro-network\",\n  \"version\": 1,\n  \"structure\": \"";
    text += structure;
    text += "\",\n  \"layers\": [";
    size_t neuron = 0;  // first neuron of the layer
    size_t weight = 0;  // first weight of the layer
    for (size_t l = 0; l < values.layerSizes.size(); ++l) {
        const auto size = static_cast<size_t>(values.layerSizes[l]);
        text += l == 0 ? "\n    {\"size\": " : ",\n    {\"size\": ";
        text += std::to_string(size);
        if (l > 0) {
            const auto sources = static_cast<size_t>(values.layerSizes[l - 1]);
            text += ",\n     \"bias\": [";
            for (size_t j = 0; j < size; ++j) {
                if (j > 0)
                    text += ", ";
                AppendJsonFloat(text, values.bias[neuron + j]);
            }
            text += "],\n     \"weights\": [";
            for (size_t j = 0; j < size; ++j) {
                text += j == 0 ? "[" : ",\n                 [";
                // The values run in incoming-list order, from the highest source down.
                const size_t base = weight + j * sources;
                for (size_t k = 0; k < sources; ++k) {
                    if (k > 0)
                        text += ", ";
                    AppendJsonFloat(text, values.weight[base + sources - 1 - k]);
                }
                text += "]";
            }
            text += "]";
            weight += size * sources;
        }
        text += "}";
        neuron += size;
    }
    KESTRO_ASSERT(neuron == values.bias.size() && weight == values.weight.size());
    text += "\n  ]\n}\n";
    return text;
}

FileResult ExportHistoriesCsv(const std::filesystem::path& path, const KestroState& state) {
    return WriteFileBytes(path, HistoriesCsv(state.histories), "history file");
}

FileResult ExportNetworkJson(const std::filesystem::path& path, const KestroState& state) {
    KESTRO_ASSERT(state.structureIndex >= 0 &&
                  state.structureIndex < static_cast<int32_t>(StructureTexts.size()));
    return WriteFileBytes(
        path,
        NetworkJson(StructureTexts[static_cast<size_t>(state.structureIndex)], TakeNetworkValues()),
        "network file");
}

}  // namespace kestro
