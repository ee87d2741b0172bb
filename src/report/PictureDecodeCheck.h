#pragma once
// `verify --decode`: every picture the verifier gets from the plug-in's video
// sample buffers is decoded with libavcodec's error detection on, and each
// picture the decoder finds damaged (a decoding error, error flags or a
// corrupt picture) becomes a problem of its frame (decode order). The
// pictures are decoded on a thread of the check's own while the verifier
// walks on, through a queue of a few pictures (memory stays bounded).
// Picture and Finish are called by the verifying thread; one object per clip.
#include "ClipVerifier.h"
#include "PictureDecoder.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qzreport {

class PictureDecodeCheck : public qzimport::PictureObserver {
public:
    // `threads`: the decoder's slice threads (0: libavcodec's choice for the
    // cores, as the ffmpeg tool makes it). Throws ReportError (kSetup) when
    // the decoder cannot be opened.
    explicit PictureDecodeCheck(int threads = 0);
    ~PictureDecodeCheck() override;
    PictureDecodeCheck(const PictureDecodeCheck&) = delete;
    PictureDecodeCheck& operator=(const PictureDecodeCheck&) = delete;

    void Picture(int64_t frame, const std::vector<uint8_t>& bytes) override;
    std::vector<qzimport::VerifyProblem> Finish() override;

    // After Finish.
    uint64_t PicturesChecked() const override { return m_decoded; }

private:
    void Decode();  // the decoding thread
    void Take();
    void Damaged(int64_t frame, const std::string& what);
    void Close();

    PictureDecoder m_decoder;                  // used by the decoding thread only
    std::map<int64_t, std::string> m_damaged;  // frame -> what the decoder said (decoding thread)
    uint64_t m_decoded = 0;                    // (decoding thread)

    std::mutex m_lock;  // guards the queue and m_closed
    std::condition_variable m_changed;
    std::deque<std::pair<int64_t, std::vector<uint8_t>>> m_queue;
    bool m_closed = false;
    std::thread m_thread;
};

}  // namespace qzreport
