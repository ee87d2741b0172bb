#include "HashListXml.h"

#include "MhlDate.h"
#include "MhlXml.h"
#include "OffloadError.h"

#include <cerrno>
#include <cstdlib>

namespace qzoffload {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<uint64_t> ParseSize(const std::string& text) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtoull(text.c_str(), nullptr, 10);
}

std::optional<int64_t> OptionalDate(const MhlXml::Node& node, const std::string& name,
                                    const std::string& what) {
    const std::optional<std::string> text = MhlXml::Attribute(node, name);
    if (!text) return std::nullopt;
    const std::optional<int64_t> date = MhlDate::Parse(Trimmed(*text));
    if (!date) throw OffloadError(what + ": " + name + " '" + *text + "' is not a date");
    return date;
}

MhlFileEntry ReadEntry(const MhlXml::Node& hash, const std::string& what) {
    MhlFileEntry entry;
    const MhlXml::Node* path = MhlXml::Child(hash, "path");
    if (!path) throw OffloadError(what + ": a hash entry has no path");
    entry.path = MhlXml::Text(*path);
    if (!HashListXml::IsSafeRelativePath(entry.path))
        throw OffloadError(what + ": the path '" + entry.path + "' leaves the folder");
    const std::string at = what + ": " + entry.path;
    if (const std::optional<std::string> size = MhlXml::Attribute(*path, "size")) {
        entry.size = ParseSize(Trimmed(*size));
        if (!entry.size) throw OffloadError(at + ": size '" + *size + "' is not a byte count");
    }
    entry.modified = OptionalDate(*path, "lastmodificationdate", at);
    for (const MhlXml::Node* child : MhlXml::ChildElements(hash)) {
        const std::optional<HashFormat> format = HashFormatNamed(MhlXml::LocalName(*child));
        if (!format) continue;  // previousPath, metadata
        if (entry.hashes.count(*format))
            throw OffloadError(at + ": two " + std::string(HashFormatName(*format)) + " hashes");
        MhlHash value;
        value.value = Trimmed(MhlXml::Text(*child));
        if (!IsHashText(*format, value.value))
            throw OffloadError(at + ": '" + value.value + "' is not " + HashFormatName(*format) +
                               " hash text");
        const std::string action = MhlXml::Attribute(*child, "action").value_or("original");
        const std::optional<HashAction> parsed = HashActionNamed(Trimmed(action));
        if (!parsed) throw OffloadError(at + ": unknown action '" + action + "'");
        value.action = *parsed;
        value.hashDate = OptionalDate(*child, "hashdate", at);
        entry.hashes[*format] = value;
    }
    return entry;
}

// <metadata><cardfiles xmlns="urn:qzcard:copy:1" count="21" readback="true" run="..." [source="..."]>
//   <absent>CONTENTS/CLIPS001/QZ0003/QZ000301.MXF</absent>...</cardfiles></metadata>
void WriteCardRecord(const MhlXml::Element& root, const CardFileRecord& record) {
    MhlXml::Element records = MhlXml::AddElement(MhlXml::AddElement(root, "metadata"), "cardfiles");
    MhlXml::SetAttribute(records, "xmlns", HashListXml::kCardNamespace);
    MhlXml::SetAttribute(records, "count", std::to_string(record.cardFiles));
    MhlXml::SetAttribute(records, "readback", record.readBack ? "true" : "false");
    if (!record.run.empty()) MhlXml::SetAttribute(records, "run", record.run);
    if (!record.source.empty()) MhlXml::SetAttribute(records, "source", record.source);
    for (const std::string& path : record.absent) MhlXml::AddTextElement(records, "absent", path);
}

// Nothing when the metadata holds no card record of ours.
std::optional<CardFileRecord> ReadCardRecord(const MhlXml::Node& metadata, const std::string& what) {
    const MhlXml::Node* records = MhlXml::Child(metadata, "cardfiles");
    if (!records || MhlXml::Attribute(*records, "xmlns").value_or("") != HashListXml::kCardNamespace)
        return std::nullopt;
    CardFileRecord record;
    const std::string at = what + ": the card record";
    const std::optional<uint64_t> count =
        ParseSize(Trimmed(MhlXml::Attribute(*records, "count").value_or("")));
    if (!count) throw OffloadError(at + " has no file count");
    record.cardFiles = *count;
    const std::string readBack = Trimmed(MhlXml::Attribute(*records, "readback").value_or("true"));
    if (readBack != "true" && readBack != "false")
        throw OffloadError(at + ": readback '" + readBack + "' is neither true nor false");
    record.readBack = readBack == "true";
    record.run = MhlXml::Attribute(*records, "run").value_or("");
    record.source = MhlXml::Attribute(*records, "source").value_or("");
    for (const MhlXml::Node* absent : MhlXml::ChildElements(*records)) {
        if (MhlXml::LocalName(*absent) != "absent") continue;
        const std::string path = MhlXml::Text(*absent);
        if (!HashListXml::IsSafeRelativePath(path))
            throw OffloadError(at + ": the path '" + path + "' leaves the folder");
        if (record.absent.size() >= record.cardFiles)
            throw OffloadError(at + " names more absent files than the card has");
        record.absent.push_back(path);
    }
    return record;
}

}  // namespace

bool HashListXml::IsSafeRelativePath(const std::string& path) {
    if (path.empty() || path.front() == '/' || path.find('\0') != std::string::npos) return false;
    size_t start = 0;
    while (true) {
        const size_t slash = path.find('/', start);
        const std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (slash == std::string::npos) return true;
        start = slash + 1;
    }
}

std::vector<unsigned char> HashListXml::Write(const HashList& list) {
    MhlXml::Element root;
    MhlXml::Document document = MhlXml::NewDocument("hashlist", kNamespace, &root);
    MhlXml::SetAttribute(root, "version", "2.0");

    MhlXml::Element creator = MhlXml::AddElement(root, "creatorinfo");
    MhlXml::AddTextElement(creator, "creationdate", MhlDate::Format(list.creationDate));
    MhlXml::AddTextElement(creator, "hostname", list.hostName);
    MhlXml::SetAttribute(MhlXml::AddTextElement(creator, "tool", list.tool), "version", list.toolVersion);
    if (!list.comment.empty()) MhlXml::AddTextElement(creator, "comment", list.comment);

    MhlXml::Element process = MhlXml::AddElement(root, "processinfo");
    MhlXml::AddTextElement(process, "process", MhlProcessName(list.process));
    if (!list.ignore.empty()) {
        MhlXml::Element ignore = MhlXml::AddElement(process, "ignore");
        for (const std::string& pattern : list.ignore) MhlXml::AddTextElement(ignore, "pattern", pattern);
    }

    // The schema wants at least one entry inside <hashes>.
    if (!list.files.empty()) {
        MhlXml::Element hashes = MhlXml::AddElement(root, "hashes");
        for (const MhlFileEntry& file : list.files) {
            MhlXml::Element hash = MhlXml::AddElement(hashes, "hash");
            MhlXml::Element path = MhlXml::AddTextElement(hash, "path", file.path);
            if (file.size) MhlXml::SetAttribute(path, "size", std::to_string(*file.size));
            if (file.modified)
                MhlXml::SetAttribute(path, "lastmodificationdate", MhlDate::Format(*file.modified));
            // std::map keeps the formats in the schema's order.
            for (const auto& [format, value] : file.hashes) {
                MhlXml::Element element = MhlXml::AddTextElement(hash, HashFormatName(format), value.value);
                MhlXml::SetAttribute(element, "action", HashActionName(value.action));
                if (value.hashDate)
                    MhlXml::SetAttribute(element, "hashdate", MhlDate::Format(*value.hashDate));
            }
        }
    }
    if (list.card) WriteCardRecord(root, *list.card);
    return MhlXml::Bytes(document, "the generation");
}

HashList HashListXml::Read(const unsigned char* bytes, size_t size, const std::string& what) {
    MhlXml::Element root = MhlXml::LoadRoot(bytes, size, "hashlist", kNamespace, what);
    if (MhlXml::Attribute(*root, "version").value_or("") != "2.0")
        throw OffloadError(what + ": not a version 2.0 hash list");
    HashList list;
    const MhlXml::Node* creator = MhlXml::Child(*root, "creatorinfo");
    const MhlXml::Node* process = MhlXml::Child(*root, "processinfo");
    if (!creator || !process) throw OffloadError(what + ": no creatorinfo or processinfo");
    const MhlXml::Node* date = MhlXml::Child(*creator, "creationdate");
    const std::optional<int64_t> created = date ? MhlDate::Parse(Trimmed(MhlXml::Text(*date))) : std::nullopt;
    if (!created) throw OffloadError(what + ": no creation date");
    list.creationDate = *created;
    if (const MhlXml::Node* host = MhlXml::Child(*creator, "hostname")) list.hostName = MhlXml::Text(*host);
    if (const MhlXml::Node* comment = MhlXml::Child(*creator, "comment"))
        list.comment = MhlXml::Text(*comment);
    if (const MhlXml::Node* tool = MhlXml::Child(*creator, "tool")) {
        list.tool = MhlXml::Text(*tool);
        list.toolVersion = MhlXml::Attribute(*tool, "version").value_or("");
    }
    const MhlXml::Node* kind = MhlXml::Child(*process, "process");
    const std::optional<MhlProcess> parsed =
        kind ? MhlProcessNamed(Trimmed(MhlXml::Text(*kind))) : std::optional<MhlProcess>();
    if (!parsed) throw OffloadError(what + ": no known process");
    list.process = *parsed;
    if (const MhlXml::Node* ignore = MhlXml::Child(*process, "ignore"))
        for (const MhlXml::Node* pattern : MhlXml::ChildElements(*ignore))
            list.ignore.push_back(MhlXml::Text(*pattern));
    if (const MhlXml::Node* hashes = MhlXml::Child(*root, "hashes"))
        for (const MhlXml::Node* hash : MhlXml::ChildElements(*hashes))
            if (MhlXml::LocalName(*hash) == "hash") list.files.push_back(ReadEntry(*hash, what));
    if (const MhlXml::Node* metadata = MhlXml::Child(*root, "metadata"))
        list.card = ReadCardRecord(*metadata, what);
    return list;
}

}  // namespace qzoffload
