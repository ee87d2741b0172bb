#include "FBCFormatReader.h"

namespace ComVantoVantoQZ64RADPlug {

// Placeholder until the track readers exist: no reader yet.
std::shared_ptr<FBCFormatReader> FBCFormatReader::initWithMovieSample(const CUSharedPtr<FBCMovieSampleForFCPX>&) {
    return nullptr;
}

FBCFormatReader::FBCFormatReader(CUSharedPtr<FBCMovieSampleForFCPX> movie) : m_movie(std::move(movie)) {}

std::shared_ptr<MIORADFormatReaderProtocol> FBCFormatReader::copy() const { return initWithMovieSample(m_movie); }
std::vector<std::shared_ptr<MIORADTrackReaderProtocol>> FBCFormatReader::trackReaders() { return m_trackReaders; }
int32_t FBCFormatReader::timescale() { return 0; }
CMTime FBCFormatReader::duration() { return kCMTimeInvalid; }
int64_t FBCFormatReader::locationSize() { return m_locationSize; }
int64_t FBCFormatReader::locationOffset() { return 0; }

}  // namespace ComVantoVantoQZ64RADPlug
