#pragma once
// A clip described as tracks for playback and inspection.
#include <cstdint>
#include <memory>
#include <vector>

#include "CMTime.h"

namespace ComVantoVantoQZ64RADPlug {

class MIORADTrackReaderProtocol;

class MIORADFormatReaderProtocol {
public:
    virtual ~MIORADFormatReaderProtocol();

    // A new reader on the same clip.
    virtual std::shared_ptr<MIORADFormatReaderProtocol> copy() const = 0;
    virtual std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> trackReaders() = 0;
    virtual int32_t timescale() = 0;
    virtual CMTime duration() = 0;
    // Bytes of the clip's media files, and where the media starts in them.
    virtual int64_t locationSize() = 0;
    virtual int64_t locationOffset() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
