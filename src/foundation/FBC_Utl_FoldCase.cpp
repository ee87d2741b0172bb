#include "FBC_Utl_FoldCase.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <vector>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_FoldCase(const std::string& utf8) {
    if (utf8.empty()) return std::string();
    // Each UTF-8 byte gives at most one UTF-16 unit; folding may triple a text.
    std::vector<UChar> units(utf8.size() + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) return std::string();
    std::vector<UChar> folded(static_cast<size_t>(length) * 3 + 1);
    status = U_ZERO_ERROR;
    const int32_t foldedLength = u_strFoldCase(folded.data(), static_cast<int32_t>(folded.size()),
                                               units.data(), length, U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status)) return std::string();
    std::string out(static_cast<size_t>(foldedLength) * 3, '\0');
    int32_t outLength = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), static_cast<int32_t>(out.size()), &outLength, folded.data(), foldedLength,
                &status);
    if (U_FAILURE(status)) return std::string();
    out.resize(static_cast<size_t>(outLength));
    return out;
}

}  // namespace ComVantoVantoQZ64RADPlug
