#include "CardFileList.h"

#include <algorithm>
#include <map>

namespace qzoffload {

CardFileList CardFileList::Of(const std::string& root) {
    CardFileList list;
    list.root = root;
    list.card = CardClips::Of(root);
    list.tree = SourceTree::Walk(root);
    std::map<std::string, CardFile> files;
    for (const SourceFile& file : list.tree.files)
        files[file.relativePath] = {file.relativePath, file.size, file.modified, ""};
    std::map<std::string, std::string> skipped;
    for (const SkippedItem& item : list.tree.skipped) skipped[item.relativePath] = item.reason;
    for (const ComVantoVantoQZ64RADPlug::CFBCNamedFile& named : list.card.namedFiles) {
        if (!named.required || files.count(named.path)) continue;
        const auto other = skipped.find(named.path);
        files[named.path] = {
            named.path,
            0,
            {},
            other != skipped.end()
                ? "named by the card, but on the card " + other->second
                : std::string("named by the card's index or clip information, missing on the card")};
    }
    for (auto& [path, file] : files) list.files.push_back(std::move(file));
    return list;
}

size_t CardFileList::OnCardCount() const {
    return static_cast<size_t>(
        std::count_if(files.begin(), files.end(), [](const CardFile& f) { return f.OnCard(); }));
}

}  // namespace qzoffload
