#pragma once
// The clip as the host plays or inspects it: up to three tracks (video,
// timecode, stereo audio) over the clip's movie, which the reader retains.
#include <memory>
#include <vector>

#include "CUSharedPtr.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADFormatReaderProtocol.h"

namespace ComVantoVantoQZ64RADPlug {

class FBCFormatReader : public MIORADFormatReaderProtocol {
public:
    // A reader on `movie`, or null when no track can be made.
    static std::shared_ptr<FBCFormatReader> initWithMovieSample(const CUSharedPtr<FBCMovieSampleForFCPX>& movie);

    std::shared_ptr<MIORADFormatReaderProtocol> copy() const override;
    std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> trackReaders() override;
    int32_t timescale() override;
    CMTime duration() override;
    int64_t locationSize() override;
    int64_t locationOffset() override;

private:
    explicit FBCFormatReader(CUSharedPtr<FBCMovieSampleForFCPX> movie);

    CUSharedPtr<FBCMovieSampleForFCPX> m_movie;
    int64_t m_locationSize = 0;
    std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> m_trackReaders;
};

}  // namespace ComVantoVantoQZ64RADPlug
