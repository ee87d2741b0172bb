#include "HashList.h"

namespace qzoffload {

const char* HashActionName(HashAction action) {
    switch (action) {
        case HashAction::kVerified:
            return "verified";
        case HashAction::kFailed:
            return "failed";
        case HashAction::kOriginal:
            break;
    }
    return "original";
}

std::optional<HashAction> HashActionNamed(const std::string& name) {
    for (HashAction action : {HashAction::kOriginal, HashAction::kVerified, HashAction::kFailed})
        if (name == HashActionName(action)) return action;
    return std::nullopt;
}

const char* MhlProcessName(MhlProcess process) {
    switch (process) {
        case MhlProcess::kInPlace:
            return "in-place";
        case MhlProcess::kFlatten:
            return "flatten";
        case MhlProcess::kTransfer:
            break;
    }
    return "transfer";
}

std::optional<MhlProcess> MhlProcessNamed(const std::string& name) {
    for (MhlProcess process : {MhlProcess::kInPlace, MhlProcess::kTransfer, MhlProcess::kFlatten})
        if (name == MhlProcessName(process)) return process;
    return std::nullopt;
}

const std::vector<std::string>& DefaultIgnorePatterns() {
    static const std::vector<std::string> patterns = {".DS_Store", "ascmhl", "ascmhl/"};
    return patterns;
}

}  // namespace qzoffload
