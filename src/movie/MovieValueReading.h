#pragma once
// Reading the header metadata values a clip movie needs: one value of a
// track's first component (or its descriptor) by local tag, read as exactly
// its stored type, and the one place where the MXF reader's exceptions
// become a failure record. Stateless; callable from any thread.
#include "CUFailure.h"
#include "CUSharedPtr.h"
#include "MDValue.h"
#include "MxfTypes.h"
#include "STTrack.h"

#include <cstdint>
#include <exception>
#include <string>

namespace ComVantoVantoQZ64RADPlug::movievalue {

// Runs `step`; an exception of the reader (a CUError, or a standard
// exception) becomes a failure naming it.
template <class Step>
CUFailure Guarded(Step&& step) {
    try {
        step();
        return CUFailure();
    } catch (const CUError& error) {
        return error.Failure().Failed() ? error.Failure() : CUFailure(kMxfErrFormat, error.what());
    } catch (const std::exception& error) {
        // Allocation and library failures keep their own text.
        return CUFailure(0x10001, error.what());
    }
}

// False when the value is absent; throws "MDValue Cast Error" when it is
// stored with another type.
template <class Stored, class Out>
bool ReadAs(const STTrack& track, uint32_t tag, Out& out) {
    CUSharedPtr<MDValue> value = CUDynamicCast<MDValue>(track.ValueForTag(tag, 0));
    if (!value) return false;
    out = static_cast<Out>(static_cast<Stored>(*value));
    return true;
}

inline bool Read(const STTrack& track, uint32_t tag, uint8_t& out) {
    return ReadAs<unsigned char>(track, tag, out);
}
inline bool Read(const STTrack& track, uint32_t tag, uint16_t& out) {
    return ReadAs<unsigned short>(track, tag, out);
}
inline bool Read(const STTrack& track, uint32_t tag, uint32_t& out) {
    return ReadAs<unsigned int>(track, tag, out);
}
inline bool Read(const STTrack& track, uint32_t tag, int64_t& out) {
    return ReadAs<long long>(track, tag, out);
}
inline bool Read(const STTrack& track, uint32_t tag, _Rational& out) {
    return ReadAs<_Rational>(track, tag, out);
}

}  // namespace ComVantoVantoQZ64RADPlug::movievalue
