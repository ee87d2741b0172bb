#pragma once
// The clip as the host plays or inspects it: up to three tracks (video,
// timecode, stereo audio, in that order) over the clip's movie, which the
// reader and each of its track readers retain. A track is offered only when
// the movie has its format description.
// Immutable once made: host threads may share a reader.
#include <memory>
#include <vector>

#include "CUSharedPtr.h"
#include "FBCMovieSampleForFCPX.h"
#include "MIORADFormatReaderProtocol.h"

namespace ComVantoVantoQZ64RADPlug {

class FBCFormatReader : public MIORADFormatReaderProtocol {
public:
    // A reader on `movie`, or null when no track can be made.
    static std::shared_ptr<FBCFormatReader> initWithMovieSample(
        const CUSharedPtr<FBCMovieSampleForFCPX>& movie);

    // A new reader on the same movie.
    std::shared_ptr<MIORADFormatReaderProtocol> copy() const override;
    // A copy of the list: the caller may keep it.
    std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> trackReaders() override;
    int32_t timescale() override;
    // The clip's frames at the movie's time base.
    CMTime duration() override;
    // Bytes of all the clip's member files (a file whose size cannot be
    // read counts 0).
    int64_t locationSize() override;
    int64_t locationOffset() override;

private:
    explicit FBCFormatReader(CUSharedPtr<FBCMovieSampleForFCPX> movie);
    void MakeTracks();

    CUSharedPtr<FBCMovieSampleForFCPX> m_movie;
    int64_t m_locationSize = 0;
    std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> m_trackReaders;
};

}  // namespace ComVantoVantoQZ64RADPlug
