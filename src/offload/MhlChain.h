#pragma once
// The chain of an ASC MHL history, ascmhl/ascmhl_chain.xml (namespace
// urn:ASC:MHL:DIRECTORY:v2.0): one entry per generation with its sequence
// number, its file name inside ascmhl/ and the C4 id of that file's bytes.
// Read and written through the foundation's XML model; reading checks the
// numbers, names and ids it takes and throws OffloadError. Pure functions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qzoffload {

struct ChainEntry {
    uint64_t sequence = 0;
    std::string path;  // the generation file's name inside ascmhl/
    std::string c4;
};

class MhlChain {
public:
    static constexpr const char* kNamespace = "urn:ASC:MHL:DIRECTORY:v2.0";
    static constexpr const char* kFileName = "ascmhl_chain.xml";

    static std::vector<unsigned char> Write(const std::vector<ChainEntry>& entries);
    static std::vector<ChainEntry> Read(const unsigned char* bytes, size_t size, const std::string& what);
};

}  // namespace qzoffload
