#pragma once
// The hash formats of an ASC MHL history, in the order its schema gives a
// file's hash elements, with their element names ("c4", "md5", "sha1",
// "xxh128", "xxh3", "xxh64") and the shape of their text. Pure functions.
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

enum class HashFormat { kC4, kMd5, kSha1, kXxh128, kXxh3, kXxh64 };

// Every format, in schema order.
const std::vector<HashFormat>& AllHashFormats();
// The element name.
const char* HashFormatName(HashFormat format);
// The format of an element name; nothing for any other name.
std::optional<HashFormat> HashFormatNamed(const std::string& name);
// Whether `text` has the form of a hash of `format`: lowercase hexadecimal
// of the digest's length, or a C4 id ("c4" and 88 base-58 characters).
bool IsHashText(HashFormat format, const std::string& text);

}  // namespace qzoffload
