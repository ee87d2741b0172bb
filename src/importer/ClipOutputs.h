#pragma once
// The output files of one exported clip (ID.m2v, ID.wav, ID_chN.wav,
// ID.json) in one folder: each is written as a partial beside its final
// name, all are renamed into place together once the clip is complete, and
// a clip that fails leaves none of its partials behind. Existing outputs
// are kept unless the export was asked to replace them. Used by one thread.
#include "OutputFile.h"

#include <memory>
#include <string>
#include <vector>

namespace qzimport {

class ClipOutputs {
public:
    // `replace`: existing outputs of the same names are overwritten (--force).
    ClipOutputs(std::string folder, bool replace);

    // The names (in the folder) that already exist and would be replaced;
    // empty when the export may go ahead.
    std::vector<std::string> ExistingOutputs(const std::vector<std::string>& names) const;
    // Starts output `name`. Throws ImportError when it exists and may not be
    // replaced, or cannot be created.
    OutputFile& Add(const std::string& name);

    // Renames every output into place. Throws ImportError (outputs renamed
    // before the failure stay: each is complete).
    void CommitAll();
    // Removes every partial not yet committed (also done on destruction).
    void DiscardAll();

    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    bool m_replace;
    std::vector<std::unique_ptr<OutputFile>> m_files;
};

// Whether `folder` (existing or not) lies inside the card at `card`, or is
// the card itself, comparing real paths (symbolic links and ".." resolved).
bool IsInsideFolder(const std::string& folder, const std::string& card);

}  // namespace qzimport
