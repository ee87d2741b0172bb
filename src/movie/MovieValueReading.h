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

// Runs `step`; an exception of the reader (fixed text, CUError, foundation
// code or standard exception) becomes a failure naming it.
template <class Step>
CUFailure Guarded(Step&& step) {
    try {
        step();
        return CUFailure();
    } catch (const CUError& error) {
        return error.Failure().Failed() ? error.Failure() : CUFailure(kMxfErrFormat, error.what());
    } catch (const char* text) {
        return CUFailure(kMxfErrFormat, text ? text : "metadata read error");
    } catch (uint32_t code) {
        return CUFailure(0x10001, "foundation error " + std::to_string(code));
    } catch (const std::exception& error) {
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
