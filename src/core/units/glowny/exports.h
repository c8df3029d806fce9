// Exports for other programs: the error histories as CSV and the network as JSON, with every
// number in the shortest form that reads back as the same 32-bit float.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/units/glowny/filebytes.h"
#include "core/units/glowny/state.h"

namespace kestro {

// The histories as CSV: the header "epoch,ni,error,mse,verify", then one row per kept slot in
// order. epoch is the number (from 1) of the slot's last value, about one value per epoch
// since the last Reset; each series gives the slot's largest value, which is its only value
// while the step is 1 (the first 2000 epochs). Lines end with LF.
std::string HistoriesCsv(const ErrorHistories& histories);

// The network as JSON: the format's name and version, the structure text, and per layer its
// size, and from layer 1 on the biases and the weights: weights[j][k] is the weight from
// neuron k of the previous layer to neuron j of the layer.
std::string NetworkJson(std::string_view structure, const NetworkValues& values);

// HistoriesCsv of the state into a file (replacing it).
[[nodiscard]] FileResult ExportHistoriesCsv(const std::filesystem::path& path,
                                            const KestroState& state);

// NetworkJson of the engine's network and the state's structure into a file (replacing it).
[[nodiscard]] FileResult ExportNetworkJson(const std::filesystem::path& path,
                                           const KestroState& state);

}  // namespace kestro
