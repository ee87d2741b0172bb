// Feeds arbitrary bytes to the ASC MHL readers: the first byte chooses a
// generation file (even) or a chain (odd), the rest is the file. Refusals
// are OffloadError; what is read must write back and read again the same.
#include "HashListXml.h"
#include "MhlChain.h"
#include "OffloadError.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool chain = data[0] & 1;
    try {
        if (chain) {
            const auto entries = qzoffload::MhlChain::Read(data + 1, size - 1, "chain");
            const auto bytes = qzoffload::MhlChain::Write(entries);
            if (qzoffload::MhlChain::Read(bytes.data(), bytes.size(), "written chain").size() !=
                entries.size())
                std::abort();
        } else {
            const qzoffload::HashList list = qzoffload::HashListXml::Read(data + 1, size - 1, "generation");
            std::vector<unsigned char> bytes;
            try {
                bytes = qzoffload::HashListXml::Write(list);
            } catch (const qzoffload::OffloadError&) {
                return 0;  // text XML 1.0 cannot carry
            }
            const qzoffload::HashList again =
                qzoffload::HashListXml::Read(bytes.data(), bytes.size(), "written");
            if (again.files.size() != list.files.size()) std::abort();
        }
    } catch (const qzoffload::OffloadError&) {
    }
    return 0;
}
