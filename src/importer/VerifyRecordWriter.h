#pragma once
// A card's verification (VerifyRecord) as `verify` prints it: a line per
// clip with its problems beneath it, a line per unlisted entry, the closing
// line, and the JSON. Stateless: any thread.
#include "VerifyRecord.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qzimport {

class VerifyRecordWriter {
public:
    // "QZ0001  60 frames  clean", or "... 2 problems over 61 frames" and
    // each problem indented beneath ("  frames 60–119 (...)  picture: ...").
    static std::vector<std::string> ClipLines(const VerifiedClip& clip);
    // "unlisted  CONTENTS/CLIPS001/QZ0009  a clip folder the index does not list".
    static std::vector<std::string> UnlistedLines(const VerifyRecord& record);
    // "card clean (what was checked; what was not)", or "2 problems found,
    // 1 unlisted entry".
    static std::string ClosingLine(const VerifyRecord& record);
    // qzcardVersion, card, clips (clipId, frames, problems, picturesDecoded
    // when decoded), unlisted, clean, checked, notChecked.
    static nlohmann::ordered_json Json(const VerifyRecord& record);
};

}  // namespace qzimport
