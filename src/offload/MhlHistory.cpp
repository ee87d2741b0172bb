#include "MhlHistory.h"

#include "C4Hasher.h"
#include "CUFailure.h"
#include "CUOutputFile.h"
#include "HashListXml.h"
#include "MhlDate.h"
#include "OffloadError.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

namespace qzoffload {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    if (error) throw OffloadError("cannot read " + path + ": " + error.message());
    if (size > MhlHistory::kMaxFileBytes) throw OffloadError(path + " is too large for a history file");
    std::vector<unsigned char> bytes(size);
    std::ifstream in(path, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)) ||
        in.peek() != std::ifstream::traits_type::eof())
        throw OffloadError("cannot read " + path + " (it changed while being read)");
    return bytes;
}

// The sequence number a generation's file name starts with ("0003_..."), 0 when none.
uint64_t NumberInName(const std::string& name) {
    const size_t underscore = name.find('_');
    if (underscore == 0 || underscore == std::string::npos || underscore > 9 ||
        name.find_first_not_of("0123456789") < underscore)
        return 0;
    return std::stoull(name.substr(0, underscore));
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes, bool replace) {
    try {
        CUOutputFile file(path);
        file.Write(bytes.data(), bytes.size());
        file.Commit(replace);
    } catch (const CUError& e) {
        throw OffloadError("cannot write the history: " + e.Failure().What());
    }
}

}  // namespace

MhlHistory MhlHistory::Load(const std::string& folder) {
    MhlHistory history;
    history.m_Folder = folder;
    const fs::path ascmhl = fs::path(folder) / kFolderName;
    std::error_code error;
    if (!fs::is_directory(ascmhl, error)) return history;

    std::set<std::string> generationFiles;
    for (fs::directory_iterator it(ascmhl, error), end; !error && it != end; it.increment(error))
        if (it->path().extension() == ".mhl") generationFiles.insert(it->path().filename().string());
    if (error) throw OffloadError("cannot list " + ascmhl.string() + ": " + error.message());
    const fs::path chainPath = ascmhl / MhlChain::kFileName;
    if (!fs::exists(chainPath, error)) {
        if (generationFiles.empty()) return history;
        throw OffloadError("the history of " + folder + " has generation files but its chain " +
                           chainPath.string() + " is missing");
    }
    const std::vector<unsigned char> chainBytes = ReadWholeFile(chainPath.string());
    history.m_Chain = MhlChain::Read(chainBytes.data(), chainBytes.size(), chainPath.string());

    uint64_t expected = 1;
    for (const ChainEntry& entry : history.m_Chain) {
        const std::string where =
            "the history of " + folder + ": generation " + std::to_string(entry.sequence);
        if (entry.sequence != expected)
            throw OffloadError(where + " follows generation " + std::to_string(expected - 1) +
                               " in the chain (a gap or a reordering)");
        if (NumberInName(entry.path) != entry.sequence)
            throw OffloadError(where + " is the file " + entry.path + ", named for another sequence number");
        const fs::path path = ascmhl / entry.path;
        if (!generationFiles.count(entry.path))
            throw OffloadError(where + " (" + entry.path + ") is missing");
        const std::vector<unsigned char> bytes = ReadWholeFile(path.string());
        const std::string c4 = C4Hasher::IdOf(bytes.data(), bytes.size());
        if (c4 != entry.c4)
            throw OffloadError(where + " (" + entry.path + ") was altered: its C4 id is " + c4 +
                               ", the chain records " + entry.c4);
        history.Take(HashListXml::Read(bytes.data(), bytes.size(), path.string()));
        generationFiles.erase(entry.path);
        ++expected;
    }
    if (!generationFiles.empty())
        throw OffloadError("the history of " + folder + ": the generation file " + *generationFiles.begin() +
                           " is not in the chain");
    return history;
}

void MhlHistory::Take(const HashList& list) {
    m_Generations.push_back(list);
    for (const MhlFileEntry& entry : list.files) {
        MhlFileEntry vouched = entry;
        vouched.hashes.clear();
        for (const auto& [format, hash] : entry.hashes)
            if (hash.action != HashAction::kFailed) vouched.hashes[format] = hash;
        if (vouched.hashes.empty()) continue;
        // A generation may leave out the size and time; the earlier ones still tell them.
        const auto earlier = m_Vouched.find(entry.path);
        if (earlier != m_Vouched.end()) {
            if (!vouched.size) vouched.size = earlier->second.size;
            if (!vouched.modified) vouched.modified = earlier->second.modified;
        }
        m_Vouched[entry.path] = vouched;
    }
}

const MhlFileEntry* MhlHistory::NewestVouched(const std::string& path) const {
    const auto found = m_Vouched.find(path);
    return found == m_Vouched.end() ? nullptr : &found->second;
}

std::vector<std::string> MhlHistory::VouchedPaths() const {
    std::vector<std::string> paths;
    for (const auto& [path, entry] : m_Vouched) paths.push_back(path);
    return paths;
}

std::string MhlHistory::NewestRecordRun() const {
    for (auto generation = m_Generations.rbegin(); generation != m_Generations.rend(); ++generation)
        if (generation->card && !generation->card->run.empty()) return generation->card->run;
    return std::string();
}

std::string MhlHistory::Append(const HashList& list) {
    const fs::path ascmhl = fs::path(m_Folder) / kFolderName;
    std::error_code error;
    fs::create_directories(ascmhl, error);
    if (error) throw OffloadError("cannot create " + ascmhl.string() + ": " + error.message());
    const uint64_t sequence = m_Chain.size() + 1;
    char number[24];
    std::snprintf(number, sizeof number, "%04llu", static_cast<unsigned long long>(sequence));
    const std::string folderName = fs::path(m_Folder).filename().string();
    const std::string name =
        std::string(number) + "_" + folderName + "_" + MhlDate::FileNameStamp(list.creationDate) + ".mhl";
    const std::vector<unsigned char> bytes = HashListXml::Write(list);
    WriteFile((ascmhl / name).string(), bytes, false);
    std::vector<ChainEntry> chain = m_Chain;
    chain.push_back({sequence, name, C4Hasher::IdOf(bytes.data(), bytes.size())});
    WriteFile((ascmhl / MhlChain::kFileName).string(), MhlChain::Write(chain), true);
    m_Chain = chain;
    Take(list);
    return std::string(kFolderName) + "/" + name;
}

}  // namespace qzoffload
