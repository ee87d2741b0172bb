#include "HashSet.h"

namespace qzoffload {

HashSet::HashSet(const std::vector<HashFormat>& formats) {
    for (HashFormat format : formats) m_Hashers.emplace_back(format, Hasher::Create(format));
}

void HashSet::Update(const unsigned char* bytes, size_t size) {
    for (auto& [format, hasher] : m_Hashers) hasher->Update(bytes, size);
}

FileHashes HashSet::Finish() {
    FileHashes hashes;
    for (auto& [format, hasher] : m_Hashers) hashes[format] = hasher->Finish();
    return hashes;
}

std::string DescribeHashes(const FileHashes& hashes) {
    std::string text;
    for (const auto& [format, value] : hashes)
        text += (text.empty() ? "" : ", ") + std::string(HashFormatName(format)) + " " + value;
    return text;
}

}  // namespace qzoffload
