// Feeds arbitrary bytes to the clip metadata document reader. Whatever it
// reads must answer every key, and the document it writes must read back
// without a fault and write back to the same bytes.
#include "CFBCAnalyzeClipMetaData.h"
#include "CUMemoryStream.h"
#include "CUStream.h"
#include "CUStringMac.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// A stream that collects what is written to it.
class CollectingStream : public CUStream {
public:
    bool CanWrite() const override { return true; }
    uint64_t Write(unsigned char* buffer, uint64_t size, int64_t, CUStream_Seek_Origin) override {
        bytes.append(reinterpret_cast<const char*>(buffer), size);
        return size;
    }
    std::string bytes;
};

const CUSharedPtr<CUStringMac>* const kKeys[] = {&key_TITLE,
                                                 &key_CREATOR,
                                                 &key_DESCRIPTION,
                                                 &key_MANUFACTURER,
                                                 &key_SERIAL_NO,
                                                 &key_MODELNAME,
                                                 &key_FIRM_VERSION,
                                                 &key_DEVICE_LENS,
                                                 &key_SOURCE,
                                                 &key_PLACENAME,
                                                 &key_ALTITUDE,
                                                 &key_LONGITUDE_TYPE,
                                                 &key_LONGITUDE_DEGREES,
                                                 &key_LONGITUDE_MINUTES,
                                                 &key_LONGITUDE_SECONDS,
                                                 &key_LONGITUDE_VALUE,
                                                 &key_LATITUDE_TYPE,
                                                 &key_LATITUDE_DEGREES,
                                                 &key_LATITUDE_MINUTES,
                                                 &key_LATITUDE_SECONDS,
                                                 &key_LATITUDE_VALUE,
                                                 &XML_TAG_LONGITUDE,
                                                 &XML_TAG_LATITUDE};

bool Write(const CUSharedPtr<CFBCAnalyzeClipMetaData>& meta, std::string& out) {
    CUSharedPtr<CollectingStream> stream(new CollectingStream());
    if (meta->WriteToFile(CUSharedPtr<CUStream>(stream)) != CFBCAnalyzeClipMetaData::kResultSuccess)
        return false;
    out = stream->bytes;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CUSharedPtr<CFBCAnalyzeClipMetaData> meta = CFBCAnalyzeClipMetaData::Create();
    if (!meta) std::abort();
    CUSharedPtr<CUStream> input(new CUMemoryStream(const_cast<uint8_t*>(data), size, true));
    meta->ReadFromFile(input);
    for (const CUSharedPtr<CUStringMac>* key : kKeys) {
        meta->ObjectForKey(*key);
        meta->ObjectForKeyDefault(*key);
    }

    // Every value read passed its checks, so the document always writes.
    std::string once;
    if (!Write(meta, once)) std::abort();
    CUSharedPtr<CFBCAnalyzeClipMetaData> back = CFBCAnalyzeClipMetaData::Create();
    CUSharedPtr<CUStream> written(new CUMemoryStream(once.data(), once.size(), true));
    if (back->ReadFromFile(written) != CFBCAnalyzeClipMetaData::kResultSuccess) std::abort();
    std::string twice;
    if (!Write(back, twice) || twice != once) std::abort();
    if (!Write(back->Copy(), twice) || twice != once) std::abort();
    return 0;
}
