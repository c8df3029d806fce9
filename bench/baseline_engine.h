// A plain engine for comparison: connection records in singly linked lists, scalar code and the
// C library's exp, the way the network is described on paper.
#pragma once

#include <string_view>

namespace baseline {

void BuildNetwork(std::string_view text, unsigned seed);
bool TrainSample(int classIndex, float x, float y, float ni, float alpha);
int Evaluate(float x, float y, float& maxOutput);

}  // namespace baseline
