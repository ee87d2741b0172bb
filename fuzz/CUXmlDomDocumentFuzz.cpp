// Feeds arbitrary bytes to the XML document loader. A document that loads
// must dump, and what WriteXml makes of it must load again and write back
// to the same bytes.
#include "CUMemoryStream.h"
#include "CUStream.h"
#include "CUStringMac.h"
#include "CUXmlDomDocumentNode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;

namespace {

// A stream that collects what is written to it.
class CollectingStream : public CUStream {
public:
    bool CanWrite() const override { return true; }
    uint64_t Write(unsigned char* buffer, uint64_t size, int64_t, CUStream_Seek_Origin) override {
        bytes.insert(bytes.end(), buffer, buffer + size);
        return size;
    }
    std::vector<unsigned char> bytes;
};

CUSharedPtr<CUXmlDomDocumentNode> Load(const uint8_t* data, size_t size) {
    auto doc = CUXmlDomDocumentNode::Create();
    CUSharedPtr<CUStream> stream(new CUMemoryStream(const_cast<uint8_t*>(data), size, true));
    return doc->LoadXml(stream) == 0 ? doc : nullptr;
}

bool Write(const CUSharedPtr<CUXmlDomDocumentNode>& doc, std::vector<unsigned char>& out) {
    CUSharedPtr<CollectingStream> stream(new CollectingStream());
    if (doc->WriteXml(stream) != 0) return false;
    out = stream->bytes;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto first = Load(data, size);
    if (!first) return 0;
    if (!first->Description()) std::abort();
    std::vector<unsigned char> once;
    if (!Write(first, once)) return 0;  // e.g. XML 1.1 characters that 1.0 cannot carry
    auto second = Load(once.data(), once.size());
    if (!second) std::abort();
    std::vector<unsigned char> twice;
    if (!Write(second, twice) || twice != once) std::abort();
    return 0;
}
