#pragma once
// `verify --decode`: every picture the verifier gets from the plug-in's video
// sample buffers is decoded with libavcodec's error detection on, and each
// picture the decoder finds damaged (a decoding error, error flags or a
// corrupt picture) becomes a problem of its frame (decode order). One object
// per clip, used by the verifying thread.
#include "ClipVerifier.h"
#include "PictureDecoder.h"

#include <cstdint>
#include <map>
#include <vector>

namespace qzreport {

class PictureDecodeCheck : public qzimport::PictureObserver {
public:
    // `threads`: the decoder's slice threads. Throws ReportError (kSetup)
    // when the decoder cannot be opened.
    explicit PictureDecodeCheck(int threads = 2);

    void Picture(int64_t frame, const std::vector<uint8_t>& bytes) override;
    std::vector<qzimport::VerifyProblem> Finish() override;

    uint64_t PicturesDecoded() const { return m_decoded; }

private:
    void Take();
    void Damaged(int64_t frame, const std::string& what);

    PictureDecoder m_decoder;
    std::map<int64_t, std::string> m_damaged;  // frame -> what the decoder said, in frame order
    uint64_t m_decoded = 0;
};

}  // namespace qzreport
