#pragma once
// Serves one clip to the host's import frame after frame: each record holds
// the frame's video sample, its audio as one stereo sample, and its
// timecode. Every call carries the clip's movie as reference constant and
// answers 0; failures show as null buffers. An import stopped by the user
// and reset at once is reported with the clip's name.
// Each ingest object walks the clip with a frame cursor of its own (in
// point, out point, current frame), so that two imports of one clip, or an
// import while the host plays the clip, do not take each other's frames.
// Thread safety: the cursor and the stop date are guarded by the object's
// lock; buffers are made under the movie lock.
#include "MIORADIngestObject.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class FBCFormatClip;
class FBCMovieSampleForFCPX;

class FBCFormatIngestObject : public MIORADIngestObject {
public:
    // Seconds on any fixed origin; the stop-to-reset interval is measured on it.
    using Clock = std::function<double()>;
    // A reset this soon after the first stop reports the import as interrupted.
    static constexpr double kInterruptedResetSeconds = 0.1;

    // Null without a descriptor.
    static std::shared_ptr<FBCFormatIngestObject> initWithFormatClip(std::shared_ptr<FBCFormatClip> clip);

    // Replaces the wall clock (tests, hosts with a clock of their own).
    void setClock(Clock clock);

    OSStatus initialize(void* refCon) override;
    OSStatus start(void* refCon) override;
    OSStatus setInPoint(CMTime inPoint, void* refCon) override;
    OSStatus setOutPoint(CMTime outPoint, void* refCon) override;
    OSStatus setPathSet(CFArrayRef pathSet, void* refCon) override;
    OSStatus setKeepMediaVideoRate(bool keep, void* refCon) override;
    OSStatus getNextMedia(MIORADIngestMedia* media, void* refCon) override;
    // Notes the time of the first call.
    OSStatus stop(void* refCon) override;
    OSStatus reset(void* refCon) override;
    OSStatus cleanup(void* refCon) override;
    OSStatus teardown(void* refCon) override;

    // "IDS_FCP_CLIP_ERR_MESSAGE" filled with `name`: the format's one "%@"
    // replaced by the name as it stands ("%%" is a percent sign); nil when
    // the format holds no "%@", more than one, or any other directive.
    static std::optional<std::string> FillMessageFormat(const std::string& format, const std::string& name);

private:
    explicit FBCFormatIngestObject(std::shared_ptr<FBCFormatClip> clip);
    // The descriptor's movie when `refCon` is it (the clip's ingestObjectRefCon), else null.
    FBCMovieSampleForFCPX* MovieOf(void* refCon) const;

    std::shared_ptr<FBCFormatClip> _targetClip;
    std::mutex m_lock;
    Clock m_clock;                    // guarded by m_lock
    std::optional<double> _stopDate;  // guarded by m_lock
    // The frame cursor, stored (decode) order, start and last inclusive;
    // guarded by m_lock. The whole clip until the points are set.
    uint32_t m_currentIndex = 0;
    uint32_t m_startIndex = 0;
    uint32_t m_lastIndex = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
