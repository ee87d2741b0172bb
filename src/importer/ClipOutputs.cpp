#include "ClipOutputs.h"

#include "ImportError.h"

#include <filesystem>
#include <system_error>

namespace qzimport {

ClipOutputs::ClipOutputs(std::string folder, bool replace)
    : m_folder(std::move(folder)), m_replace(replace) {}

std::vector<std::string> ClipOutputs::ExistingOutputs(const std::vector<std::string>& names) const {
    std::vector<std::string> existing;
    if (m_replace) return existing;
    for (const std::string& name : names) {
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::path(m_folder) / name, error) || error)
            existing.push_back(name);
    }
    return existing;
}

OutputFile& ClipOutputs::Add(const std::string& name) {
    if (!ExistingOutputs({name}).empty())
        throw ImportError(name + " exists in " + m_folder + " (--force replaces it)");
    m_files.push_back(std::make_unique<OutputFile>((std::filesystem::path(m_folder) / name).string()));
    return *m_files.back();
}

void ClipOutputs::CommitAll() {
    for (auto& file : m_files) file->Commit();
}

void ClipOutputs::DiscardAll() {
    for (auto& file : m_files) file->Discard();
}

bool IsInsideFolder(const std::string& folder, const std::string& card) {
    std::error_code error;
    const std::filesystem::path inner = std::filesystem::weakly_canonical(folder, error);
    if (error) return false;
    const std::filesystem::path outer = std::filesystem::weakly_canonical(card, error);
    if (error) return false;
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (o->empty()) continue;  // the trailing "" of a path ending in '/'
        if (i == inner.end() || *i != *o) return false;
    }
    return true;
}

}  // namespace qzimport
