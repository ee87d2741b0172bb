#include "CardSummary.h"

#include "CUNumber.h"
#include "ValueTexts.h"
#include "FBCContentValueTag.h"

#include <cstdio>

namespace qzimport {

using namespace ComVantoVantoQZ64RADPlug;

namespace {

uint32_t Number(const CUSharedPtr<CUObject>& value) {
    CUSharedPtr<CUNumber> number = value;
    return number ? number->UInt32Value() : 0;
}

}  // namespace

CardSummary SummarizeCard(const CFBCContent& content) {
    CardSummary card;
    for (size_t i = 0; i < content.GetClipCnt(); ++i) {
        card.clips.push_back(SummarizeClip(content, i));
        if (card.clips.back().ready) ++card.readyCount;
    }
    card.mediaID = UUIDText(content.ValueForTag(kContentValueMediaID));
    const uint32_t version = Number(content.ValueForTag(kContentValueIndexVersion));
    card.systemBitmap = Number(content.ValueForTag(kContentValueSystemBitmap));
    card.frameRateType = Number(content.ValueForTag(kContentValueFrameRateType));
    char versionText[16];
    std::snprintf(versionText, sizeof versionText, "%u.%02X", version >> 8, version & 0xFF);
    card.indexVersion = versionText;
    return card;
}

}  // namespace qzimport
