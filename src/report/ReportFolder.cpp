#include "ReportFolder.h"

#include "CUFailure.h"
#include "CUOutputFile.h"
#include "ReportError.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace qzreport {

using namespace ComVantoVantoQZ64RADPlug;
namespace fs = std::filesystem;

namespace {

constexpr const char* kThumbnailFolder = "thumbs";

// The folder, made when missing, before the lock that lives in it.
const std::string& Made(const std::string& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw ReportError("the report folder " + folder + " cannot be made: " + error.message());
    return folder;
}

// 12 hex digits of its own for every run: random, mixed with the clock.
std::string RunId() {
    std::random_device device;
    const auto now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    const uint64_t id = ((uint64_t{device()} << 32) ^ device() ^ (now * 0x9E3779B97F4A7C15ULL)) >> 16;
    char text[16];
    std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(id));
    return text;
}

// A clip ID as part of a file name: letters, digits, '-' and '_' only.
std::string FileNamePart(const std::string& text) {
    std::string part;
    for (char c : text) part += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' ? c : '_';
    return part.empty() ? "clip" : part;
}

void WriteFile(const std::string& path, const std::string& text) {
    try {
        CUOutputFile file(path);
        file.Write(text.data(), text.size());
        file.Commit(true);
    } catch (const CUError& e) {
        throw ReportError(std::string("the report cannot be written: ") + e.what());
    }
}

}  // namespace

ReportFolder::ReportFolder(const std::string& folder, double waitSeconds)
    : m_folder(folder),
      m_lock(Made(folder), waitSeconds),
      m_thumbs((fs::path(folder) / kThumbnailFolder).string()),
      m_run(RunId()) {
    Made(m_thumbs);
    // What a killed report left unfinished; the lock keeps live ones out.
    CUOutputFile::RemoveStalePartials(m_folder);
    CUOutputFile::RemoveStalePartials(m_thumbs);
}

std::string ReportFolder::ThumbnailPath(size_t card, size_t clip, const std::string& clipId,
                                        unsigned k) const {
    return (fs::path(m_thumbs) / (std::to_string(card) + "-" + std::to_string(clip) + "-" +
                                  FileNamePart(clipId) + "-" + std::to_string(k) + "." + m_run + ".jpg"))
        .string();
}

std::string ReportFolder::PageRelative(const std::string& thumbnail) const {
    return std::string(kThumbnailFolder) + "/" + fs::path(thumbnail).filename().string();
}

std::string ReportFolder::PagePath() const {
    return (fs::path(m_folder) / "index.html").string();
}

std::string ReportFolder::JsonPath() const {
    return (fs::path(m_folder) / "report.json").string();
}

void ReportFolder::CommitThumbnails(const std::vector<ClipPictures>& pictures) {
    // Every thumbnail's bytes reach the drive in one sync before any is
    // renamed into place (a sync per file would cost more than the pictures).
    if (!CUOutputFile::SyncFileSystem(m_thumbs))
        throw ReportError("the thumbnails cannot be synced to their drive: " + m_thumbs);
    try {
        // Names of this run only: an existing one is never replaced.
        for (const ClipPictures& clip : pictures)
            for (const Thumbnail& t : clip.thumbnails)
                if (t.file) t.file->CommitFinished(false);
    } catch (const CUError& e) {
        throw ReportError(std::string("a thumbnail cannot be written: ") + e.what());
    }
    if (!CUOutputFile::SyncFolder(m_thumbs))
        throw ReportError("the folder " + m_thumbs + " cannot be synced");
}

void ReportFolder::Commit(const std::vector<ClipPictures>& pictures, const std::string& json,
                          const std::string& page, const std::set<std::string>& shown) {
    CommitThumbnails(pictures);
    WriteFile(JsonPath(), json);
    WriteFile(PagePath(), page);  // the commit point
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(m_thumbs, error))
        if (entry.path().extension() == ".jpg" && !shown.count(entry.path().filename().string()))
            fs::remove(entry.path(), error);
}

}  // namespace qzreport
