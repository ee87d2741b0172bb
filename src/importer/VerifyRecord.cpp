#include "VerifyRecord.h"

namespace qzimport {

size_t VerifyRecord::Problems() const {
    size_t problems = 0;
    for (const VerifiedClip& clip : clips) problems += clip.result.problems.size();
    return problems;
}

bool VerifyRecord::Clean() const {
    return Problems() == 0 && unlisted.empty();
}

std::vector<std::string> VerifyRecord::Checked() const {
    std::vector<std::string> checked = {"frames through the plug-in", "timecodes", "sound lengths"};
    if (decoded) checked.push_back("pictures decoded");
    return checked;
}

std::vector<std::string> VerifyRecord::NotChecked() const {
    std::vector<std::string> unchecked;
    if (!decoded) unchecked.push_back("pictures not decoded");
    unchecked.push_back("sound samples not checked");
    return unchecked;
}

}  // namespace qzimport
