#include "PictureDecodeCheck.h"

namespace qzreport {

PictureDecodeCheck::PictureDecodeCheck(int threads) : m_decoder(threads) {}

void PictureDecodeCheck::Damaged(int64_t frame, const std::string& what) {
    std::string& said = m_damaged[frame];
    if (said.find(what) == std::string::npos) said += (said.empty() ? "" : "; ") + what;
}

void PictureDecodeCheck::Take() {
    for (;;) {
        const PictureDecoder::Decoded out = m_decoder.Receive();
        if (!out.frame && out.damage.empty()) return;
        if (out.frame) ++m_decoded;
        if (!out.damage.empty()) Damaged(out.tag, out.damage);
    }
}

void PictureDecodeCheck::Picture(int64_t frame, const std::vector<uint8_t>& bytes) {
    const std::string error = m_decoder.Send(bytes.data(), bytes.size(), frame);
    if (!error.empty()) Damaged(frame, error);
    Take();
}

std::vector<qzimport::VerifyProblem> PictureDecodeCheck::Finish() {
    m_decoder.Drain();
    Take();
    std::vector<qzimport::VerifyProblem> problems;
    for (const auto& [frame, what] : m_damaged)
        problems.push_back(
            {frame, std::string(), "decode", "the decoder finds the picture damaged: " + what});
    return problems;
}

}  // namespace qzreport
