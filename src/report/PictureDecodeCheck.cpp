#include "PictureDecodeCheck.h"

#include <algorithm>
#include <cstring>

namespace qzreport {

namespace {

// Pictures waiting for the decoder at most: a few megabytes.
constexpr size_t kMaxQueued = 8;

// The picture's bytes without the zero stuffing a constant bit rate puts
// after its last slice: the decoder would only scan it for a start code.
// A few zeros are kept, as a slice's last bits may end in zeros.
size_t WithoutStuffing(const std::vector<uint8_t>& bytes) {
    size_t end = bytes.size();
    while (end >= 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes.data() + end - 8, 8);
        if (word != 0) break;
        end -= 8;
    }
    while (end > 0 && bytes[end - 1] == 0) --end;
    return std::min(bytes.size(), end + 8);
}

}  // namespace

PictureDecodeCheck::PictureDecodeCheck(int threads) : m_decoder(threads), m_thread([this] { Decode(); }) {}

PictureDecodeCheck::~PictureDecodeCheck() {
    Close();
}

void PictureDecodeCheck::Close() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_closed = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

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

void PictureDecodeCheck::Decode() {
    for (;;) {
        std::pair<int64_t, std::vector<uint8_t>> picture;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_changed.wait(guard, [this] { return m_closed || !m_queue.empty(); });
            if (m_queue.empty()) break;  // closed and nothing left
            picture = std::move(m_queue.front());
            m_queue.pop_front();
        }
        m_changed.notify_all();
        const std::string error = m_decoder.Send(picture.second.data(), picture.second.size(), picture.first);
        if (!error.empty()) Damaged(picture.first, error);
        Take();
    }
    m_decoder.Drain();
    Take();
}

void PictureDecodeCheck::Picture(int64_t frame, const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> kept(bytes.begin(),
                              bytes.begin() + static_cast<std::ptrdiff_t>(WithoutStuffing(bytes)));
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return m_queue.size() < kMaxQueued; });
        m_queue.emplace_back(frame, std::move(kept));
    }
    m_changed.notify_all();
}

std::vector<qzimport::VerifyProblem> PictureDecodeCheck::Finish() {
    Close();  // the decoding thread drains the decoder and ends
    std::vector<qzimport::VerifyProblem> problems;
    for (const auto& [frame, what] : m_damaged)
        problems.push_back(
            {frame, std::string(), "decode", "the decoder finds the picture damaged: " + what});
    return problems;
}

}  // namespace qzreport
