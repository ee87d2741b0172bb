#pragma once
// Turns a clip of a card description into the descriptions of its member MXF
// files and writes them: picture settings, the clip-wide frame index of each
// file's first frame, the start timecode in the MXF base (60/50 for
// 59.94P/50P) and package UMIDs consistent with the clip information block.
// Pure mapping plus file writes; reentrant.
#include "CardDescription.h"
#include "MxfFileWriter.h"

#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

// Description of member `memberIndex` (position in EffectiveMembers) of clip
// `clipIndex`. Throws CardWriterError for a clip without essence rules.
MxfFileDescription MemberMxfDescription(const CardDescription& card, size_t clipIndex, size_t memberIndex);

// Writes every member file of the clip into its clip folder under cardRoot;
// returns their layouts in member order.
std::vector<MxfFileLayout> WriteMemberMxfFiles(const CardDescription& card, size_t clipIndex,
                                               const std::string& cardRoot);

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
