#pragma once
// What `verify` found on a card, as typed values: each clip checked with its
// problems (folded into frame ranges) and the pictures decoded when they
// were, what the clips folder holds that the index does not list, and what
// was and was not checked. VerifyRecordWriter turns it into verify's text
// and JSON. A plain value.
#include "ClipVerifier.h"
#include "UnlistedFiles.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qzimport {

struct VerifiedClip {
    std::string clipId;
    ClipVerification result;
    std::optional<uint64_t> picturesDecoded;  // when the pictures were decoded
};

struct VerifyRecord {
    std::string card;      // as given
    bool decoded = false;  // every picture decoded too
    std::vector<VerifiedClip> clips;
    std::vector<UnlistedEntry> unlisted;

    size_t Problems() const;
    // No problem and nothing unlisted.
    bool Clean() const;
    // What a clean verify has looked at, and what it has not: a card called
    // clean is clean only in these.
    std::vector<std::string> Checked() const;
    std::vector<std::string> NotChecked() const;
};

}  // namespace qzimport
