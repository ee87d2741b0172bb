#include "HashSet.h"

#include "CUDriveFileReader.h"
#include "CUFailure.h"
#include "CUInterruption.h"
#include "DriveHash.h"

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;

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

FileHashes HashSet::OfFile(const std::string& path, const std::vector<HashFormat>& formats,
                           std::string& failure, CUDriveFileReader::Buffer* buffer) {
    CUDriveFileReader::Buffer own;
    try {
        const std::optional<DriveHash> read = HashOnDrive(path, formats, buffer ? *buffer : own);
        CUInterruption::ThrowIfRequested();
        return read->hashes;
    } catch (const CUError& e) {
        failure = e.Failure().Describe();
        return {};
    }
}

std::string DescribeHashes(const FileHashes& hashes) {
    std::string text;
    for (const auto& [format, value] : hashes)
        text += (text.empty() ? "" : ", ") + std::string(HashFormatName(format)) + " " + value;
    return text;
}

}  // namespace qzoffload
