#include "MIORADSampleCursorProtocol.h"

namespace ComVantoVantoQZ64RADPlug {

MIORADSampleCursorProtocol::~MIORADSampleCursorProtocol() = default;

bool MIORADSampleCursorProtocol::respondsTo(Message message) const {
    switch (message) {
        case Message::presentationTimeStamp:
        case Message::decodeTimeStamp:
        case Message::duration:
            return true;
        default:
            return false;
    }
}

CMTime MIORADSampleCursorProtocol::playableHorizon() { return kCMTimeInvalid; }

OSStatus MIORADSampleCursorProtocol::sampleLocation(int64_t, int64_t*, int64_t*, int64_t*, CFHolder<CFURLRef>*) {
    return kMIORADMessageNotAnsweredErr;
}

OSStatus MIORADSampleCursorProtocol::chunkDetails(CFHolder<CFURLRef>*, int64_t*, int64_t*, int64_t*, int64_t*, bool*,
                                                  bool*, bool*) {
    return kMIORADMessageNotAnsweredErr;
}

CFHolder<CFDictionaryRef> MIORADSampleCursorProtocol::sampleDependencyAttributes() { return {}; }

OSStatus MIORADSampleCursorProtocol::dependencyInfo(bool*, bool*, int32_t*, bool*) {
    return kMIORADMessageNotAnsweredErr;
}

char MIORADSampleCursorProtocol::mpeg2FrameType(bool*, bool*) { return 0; }

CMSampleBufferRef MIORADSampleCursorProtocol::createSampleBuffer(const MIORADSampleCursorProtocol*) {
    return nullptr;
}

}  // namespace ComVantoVantoQZ64RADPlug
