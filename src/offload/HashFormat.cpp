#include "HashFormat.h"

#include <cstring>

namespace qzoffload {

namespace {

struct FormatInfo {
    HashFormat format;
    const char* name;
    size_t hexDigits;  // 0 for C4
};

constexpr FormatInfo kFormats[] = {
    {HashFormat::kC4, "c4", 0},          {HashFormat::kMd5, "md5", 32},   {HashFormat::kSha1, "sha1", 40},
    {HashFormat::kXxh128, "xxh128", 32}, {HashFormat::kXxh3, "xxh3", 16}, {HashFormat::kXxh64, "xxh64", 16},
};

const FormatInfo& InfoOf(HashFormat format) {
    for (const FormatInfo& info : kFormats)
        if (info.format == format) return info;
    return kFormats[0];
}

}  // namespace

const std::vector<HashFormat>& AllHashFormats() {
    static const std::vector<HashFormat> all = [] {
        std::vector<HashFormat> formats;
        for (const FormatInfo& info : kFormats) formats.push_back(info.format);
        return formats;
    }();
    return all;
}

const char* HashFormatName(HashFormat format) {
    return InfoOf(format).name;
}

std::optional<HashFormat> HashFormatNamed(const std::string& name) {
    for (const FormatInfo& info : kFormats)
        if (name == info.name) return info.format;
    return std::nullopt;
}

bool IsHashText(HashFormat format, const std::string& text) {
    if (format == HashFormat::kC4) {
        static const char* const kBase58 = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
        if (text.size() != 90 || text.compare(0, 2, "c4") != 0) return false;
        for (size_t i = 2; i < text.size(); ++i)
            if (!std::strchr(kBase58, text[i])) return false;
        return true;
    }
    if (text.size() != InfoOf(format).hexDigits) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace qzoffload
