#include "OffloadJournal.h"

#include "HashListXml.h"
#include "MhlHistory.h"
#include "OffloadError.h"

#include <fcntl.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace qzoffload {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// One line of JSON. A path that is not UTF-8 is written with replacement
// characters: it then names no card file, and that file is copied again.
std::string Line(const json& value) {
    return value.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string PathOf(const std::string& copy) {
    return (fs::path(copy) / MhlHistory::kFolderName / OffloadJournal::kFileName).string();
}

// A file line's value; nothing when any part of it is malformed.
std::optional<JournalFile> FileOf(const json& line) {
    const json& path = line["file"];
    const json& size = line.value("size", json());
    const json& modified = line.value("modified", json());
    const json& hashes = line.value("hashes", json());
    if (!path.is_string() || !size.is_number_unsigned() || !modified.is_array() || modified.size() != 2 ||
        !modified[0].is_number_integer() || !modified[1].is_number_integer() || !hashes.is_object() ||
        hashes.empty())
        return std::nullopt;
    JournalFile file;
    file.path = path.get<std::string>();
    if (!HashListXml::IsSafeRelativePath(file.path)) return std::nullopt;
    file.size = size.get<uint64_t>();
    file.modified.tv_sec = modified[0].get<int64_t>();
    const int64_t nanoseconds = modified[1].get<int64_t>();
    if (nanoseconds < 0 || nanoseconds > 999999999) return std::nullopt;
    file.modified.tv_nsec = static_cast<long>(nanoseconds);
    for (const auto& [name, value] : hashes.items()) {
        const std::optional<HashFormat> format = HashFormatNamed(name);
        if (!format || !value.is_string() || !IsHashText(*format, value.get<std::string>()))
            return std::nullopt;
        file.hashes[*format] = value.get<std::string>();
    }
    file.readBack = line.value("readBack", json(true)) == json(true);
    return file;
}

}  // namespace

std::optional<JournalContents> OffloadJournal::Read(const std::string& copy) {
    const std::string path = PathOf(copy);
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) return std::nullopt;
    return Parse(text);
}

std::optional<JournalContents> OffloadJournal::Parse(const std::string& bytes) {
    JournalContents contents;
    std::istringstream lines(bytes);
    for (std::string text; std::getline(lines, text);) {
        const json line = json::parse(text, nullptr, false);
        if (!line.is_object()) continue;  // torn by a crash, or not ours
        if (line.contains("run")) {
            if (!line["run"].is_string()) continue;
            contents.run = line["run"].get<std::string>();
            const json started = line.value("started", json());
            contents.started = started.is_number_integer() ? started.get<int64_t>() : 0;
            contents.expected.clear();
        } else if (line.contains("expect")) {
            if (line["expect"].is_string() &&
                HashListXml::IsSafeRelativePath(line["expect"].get<std::string>()))
                contents.expected.push_back(line["expect"].get<std::string>());
        } else if (line.contains("file")) {
            if (std::optional<JournalFile> file = FileOf(line)) contents.done[file->path] = *file;
        }
    }
    if (contents.run.empty()) return std::nullopt;
    return contents;
}

void OffloadJournal::Remove(const std::string& copy) {
    std::error_code error;
    fs::remove(PathOf(copy), error);
}

OffloadJournal::OffloadJournal(const std::string& copy, const std::string& run, int64_t started,
                               const std::vector<CardFile>& files)
    : m_Path(PathOf(copy)) {
    m_Descriptor = ::open(m_Path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (m_Descriptor < 0)
        throw OffloadError("cannot write the journal " + m_Path + ": " + std::strerror(errno));
    // A line torn by a crash is ended first, so that it does not swallow the run line.
    std::string lines;
    const off_t end = ::lseek(m_Descriptor, 0, SEEK_END);
    char last = '\n';
    if (end > 0 && ::pread(m_Descriptor, &last, 1, end - 1) == 1 && last != '\n') lines = "\n";
    // The run's lines in one write: a journal names every card file or none of them.
    lines += Line({{"run", run}, {"started", started}, {"cardFiles", files.size()}});
    for (const CardFile& file : files) lines += Line({{"expect", file.relativePath}});
    WriteLine(lines);
    if (m_Broken) throw OffloadError("cannot write the journal " + m_Path + ": " + std::strerror(errno));
}

OffloadJournal::~OffloadJournal() {
    if (m_Descriptor >= 0) ::close(m_Descriptor);
}

void OffloadJournal::Append(const JournalFile& file) {
    json hashes = json::object();
    for (const auto& [format, value] : file.hashes) hashes[HashFormatName(format)] = value;
    const json line = {
        {"file", file.path},
        {"size", file.size},
        {"modified",
         {static_cast<int64_t>(file.modified.tv_sec), static_cast<int64_t>(file.modified.tv_nsec)}},
        {"hashes", hashes},
        {"readBack", file.readBack}};
    std::lock_guard<std::mutex> lock(m_Mutex);
    WriteLine(Line(line));
}

void OffloadJournal::WriteLine(const std::string& line) {
    if (m_Broken) return;
    // O_APPEND writes of a regular file land whole at its end; a short one
    // (a full drive) leaves a torn line, which Read passes over.
    const ssize_t written = ::write(m_Descriptor, line.data(), line.size());
    if (written != static_cast<ssize_t>(line.size())) m_Broken = true;
}

}  // namespace qzoffload
