#pragma once
// The files a card names, whether or not they are there: its media index,
// and for every clip its index lists the files named after the clip in the
// clip's folder - the information file, the metadata document and the
// member MXF files, which a whole card holds, and the thumbnail, the custom
// picture file and each member's sub-information file, which it may hold.
// What a copy of the card must hold, and what a card's folders may hold
// without being unlisted. Touches no file; call from one thread.
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CFBCClip;
class CFBCContent;

struct CFBCNamedFile {
    // Relative to the card root ("CONTENTS/CLIPS001/QZ0001/QZ0001.CIF", '/'-separated) from Of;
    // the file name alone from NamesOf.
    std::string path;
    bool required = false;  // a whole card holds it (index, .CIF, .XML, member .MXF)
};

class CFBCCardFiles {
public:
    // The index first, then each clip's files in index order; each path once.
    static std::vector<CFBCNamedFile> Of(const CFBCContent& content);
    // The file names (no folder) clip `clip` names in its folder, each once.
    static std::vector<CFBCNamedFile> NamesOf(const CFBCClip& clip);
};

}  // namespace ComVantoVantoQZ64RADPlug
