#include "ClipValues.h"

#include "ValueTexts.h"
#include "ClipValueTexts.h"

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;
using nlohmann::ordered_json;

ordered_json ClipValuesJson(CFBCClip& clip) {
    ordered_json values = ordered_json::object();
    ordered_json texts = ordered_json::object();
    for (uint32_t tag = 0; tag < kClipValueTagCount; ++tag) {
        const auto t = static_cast<_ClipValueTag>(tag);
        const CUSharedPtr<CUObject> value = clip.ValueForTag(t);
        values[ClipValueTagName(t)] = ValueJson(value);
        const std::string meaning = ClipValueMeaning(t, value);
        if (!meaning.empty()) texts[ClipValueTagName(t)] = meaning;
    }
    return {{"values", values}, {"valueTexts", texts}};
}

std::string ClipValueLine(CFBCClip& clip, _ClipValueTag tag) {
    const CUSharedPtr<CUObject> value = clip.ValueForTag(tag);
    const std::string meaning = ClipValueMeaning(tag, value);
    return TableCell(ValueText(value) + (meaning.empty() ? "" : " (" + meaning + ")"));
}

}  // namespace qzimport
