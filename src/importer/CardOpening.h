#pragma once
// Opening a card for the commands that read one (list, clip, verify,
// export ...) and finding its clips by ID: a folder that is not a card, or a
// clip the card lacks, is an ImportError saying what to give instead.
// Stateless: any thread.
#include "CFBCContent.h"
#include "CUSharedPtr.h"

#include <cstddef>
#include <string>

namespace ComVantoVantoQZ64RADPlug {
class CFBCClip;
}  // namespace ComVantoVantoQZ64RADPlug

namespace qzimport {

// The card at `folder`, ready to be read. Otherwise throws ImportError
// (kNotACard) with CFBCCardFolder::Open's refusal: "<folder> is a file; the card is
// the folder that holds CONTENTS", "<folder> lies inside the card <root>;
// give <root>", or "<folder> is not a card: <reason>".
ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCContent> OpenCard(
    const std::string& folder);

// Clip IDs are the same whatever the letter case ("qz0001" is QZ0001).
bool SameClipID(const std::string& a, const std::string& b);

// The clip of the card whose clip ID is `clipID` (any letter case), with its
// position in the clip list. Otherwise throws ImportError (kNoSuchClip):
// "no clip <ID> on the card <folder>".
ComVantoVantoQZ64RADPlug::CUSharedPtr<ComVantoVantoQZ64RADPlug::CFBCClip> FindClip(
    const ComVantoVantoQZ64RADPlug::CFBCContent& content, const std::string& folder,
    const std::string& clipID, size_t* index = nullptr);

}  // namespace qzimport
