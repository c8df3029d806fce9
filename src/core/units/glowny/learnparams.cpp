#include "core/units/glowny/learnparams.h"

#include "core/units/errors.h"
#include "core/units/nnet.h"
#include "core/units/uu.h"

namespace kestro {

float ScrollBarValue(const ScrollBarInfo& bar, int32_t position) {
    KESTRO_ASSERT(bar.min <= position && position <= bar.max);
    return static_cast<float>(static_cast<double>(position) / static_cast<double>(bar.divisor));
}

std::string ScrollBarLabel(const ScrollBarInfo& bar, int32_t position) {
    return FormatFixed(bar.decimals, 0, ScrollBarValue(bar, position));
}

std::string ScrollBarNiChange(LearnParameters& params, int32_t position) {
    params.ni = ScrollBarValue(ScrollBarNiInfo, position);
    return ScrollBarLabel(ScrollBarNiInfo, position);
}

std::string ScrollBarNiMinChange(LearnParameters& params, int32_t position) {
    params.niMinimal = ScrollBarValue(ScrollBarNiMinInfo, position);
    return ScrollBarLabel(ScrollBarNiMinInfo, position);
}

std::string ScrollBarAlphaChange(LearnParameters& params, int32_t position) {
    params.alpha = ScrollBarValue(ScrollBarAlphaInfo, position);
    return ScrollBarLabel(ScrollBarAlphaInfo, position);
}

std::string ScrollBarDownChange(LearnParameters& params, int32_t position) {
    params.downFactor = ScrollBarValue(ScrollBarDownInfo, position);
    return ScrollBarLabel(ScrollBarDownInfo, position);
}

void CheckMomentumClick(LearnParameters& params, bool checked, int32_t alphaPosition) {
    if (checked)
        ScrollBarAlphaChange(params, alphaPosition);
    else
        params.alpha = 0;
}

float EpochDownRate(float downFactor, int32_t pointCount) {
    // rate = rate * downFactor, rounded to float after each of the pointCount multiplications
    float rate = 1.0f;
    for (int32_t p = 0; p < pointCount; ++p)
        rate = static_cast<float>(static_cast<double>(rate) * static_cast<double>(downFactor));
    return rate;
}

EpochDownRateTexts UpdateEpochDownRate(LearnParameters& params, int32_t pointCount) {
    params.epochDownRate = EpochDownRate(params.downFactor, pointCount);
    return EpochDownRateLabel(params);
}

EpochDownRateTexts EpochDownRateLabel(const LearnParameters& params) {
    return {FormatFixed(3, 0, params.epochDownRate),
            "Epoch Down Rate = " + FormatFixed(5, 0, params.epochDownRate)};
}

const LearnModeItem* FindLearnModeItem(int32_t tag) {
    for (const LearnModeItem& item : LearnModeItems)
        if (item.tag == tag)
            return &item;
    return nullptr;
}

std::string LearnButtonCaption(const LearnModeItem& item, bool resetAtBeginning) {
    std::string caption = resetAtBeginning ? "" : "+";
    caption += "Learn (";
    caption += item.hint;
    caption += ")";
    return caption;
}

std::string ToggledLearnButtonCaption(std::string_view caption, bool resetAtBeginning) {
    if (!resetAtBeginning)
        return "+" + std::string(caption);
    // Only a leading "+" is taken away, so a caption that never had one stays whole.
    if (!caption.empty() && caption.front() == '+')
        caption.remove_prefix(1);
    return std::string(caption);
}

void ComboDrawSpeedChange(int32_t& drawPeriod, int index) {
    if (index >= 0 && index < static_cast<int>(DrawSpeedItems.size()))
        drawPeriod = DrawSpeedItems[index].period;
}

void ComboPaceChange(int32_t& pace, int index) {
    if (index >= 0 && index < static_cast<int>(PaceItems.size()))
        pace = PaceItems[static_cast<size_t>(index)].epochsPerSecond;
}

int FindStructure(std::string_view text) {
    for (size_t k = 0; k < StructureTexts.size(); ++k)
        if (StructureTexts[k] == text)
            return static_cast<int>(k);
    return -1;
}

void ComboStructureChange(int index) {
    KESTRO_ASSERT(index >= 0 && index < static_cast<int>(StructureTexts.size()));
    BuildNetwork(StructureTexts[index]);
}

}  // namespace kestro
