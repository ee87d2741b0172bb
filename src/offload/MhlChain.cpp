#include "MhlChain.h"

#include "HashFormat.h"
#include "HashListXml.h"
#include "MhlXml.h"
#include "OffloadError.h"

#include <cstdlib>

namespace qzoffload {

std::vector<unsigned char> MhlChain::Write(const std::vector<ChainEntry>& entries) {
    MhlXml::Element root;
    MhlXml::Document document = MhlXml::NewDocument("ascmhldirectory", kNamespace, &root);
    for (const ChainEntry& entry : entries) {
        MhlXml::Element hashlist = MhlXml::AddElement(root, "hashlist");
        MhlXml::SetAttribute(hashlist, "sequencenr", std::to_string(entry.sequence));
        MhlXml::AddTextElement(hashlist, "path", entry.path);
        MhlXml::AddTextElement(hashlist, "c4", entry.c4);
    }
    return MhlXml::Bytes(document, "the chain");
}

std::vector<ChainEntry> MhlChain::Read(const unsigned char* bytes, size_t size, const std::string& what) {
    MhlXml::Element root = MhlXml::LoadRoot(bytes, size, "ascmhldirectory", kNamespace, what);
    std::vector<ChainEntry> entries;
    for (const MhlXml::Node* hashlist : MhlXml::ChildElements(*root)) {
        if (MhlXml::LocalName(*hashlist) != "hashlist") continue;
        ChainEntry entry;
        const std::string number = MhlXml::Attribute(*hashlist, "sequencenr").value_or("");
        if (number.empty() || number.size() > 9 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            throw OffloadError(what + ": sequence number '" + number + "' is not a number");
        entry.sequence = std::strtoull(number.c_str(), nullptr, 10);
        const MhlXml::Node* path = MhlXml::Child(*hashlist, "path");
        const MhlXml::Node* c4 = MhlXml::Child(*hashlist, "c4");
        if (!path || !c4) throw OffloadError(what + ": generation " + number + " has no path or no c4 id");
        entry.path = MhlXml::Text(*path);
        entry.c4 = MhlXml::Text(*c4);
        // A generation file lies in ascmhl/ itself.
        if (!HashListXml::IsSafeRelativePath(entry.path) || entry.path.find('/') != std::string::npos)
            throw OffloadError(what + ": generation " + number + " names the file '" + entry.path + "'");
        if (!IsHashText(HashFormat::kC4, entry.c4))
            throw OffloadError(what + ": generation " + number + " has no C4 id");
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace qzoffload
