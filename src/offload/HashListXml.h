#pragma once
// One generation file of an ASC MHL history (namespace urn:ASC:MHL:v2.0)
// read into a HashList and written from one, through the foundation's XML
// model. Reading checks what it takes from the file (hash text of its
// format's shape, sizes and dates that parse, at most one element per
// format, relative paths that stay inside the folder) and throws
// OffloadError saying what is wrong; directory hashes, references and
// metadata other than qzcard's card record are passed over. The card record
// is written as the generation's metadata in kCardNamespace, with element
// names no ASC MHL element has. Pure functions.
#include "HashList.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qzoffload {

class HashListXml {
public:
    static constexpr const char* kNamespace = "urn:ASC:MHL:v2.0";
    static constexpr const char* kCardNamespace = "urn:qzcard:copy:1";

    static std::vector<unsigned char> Write(const HashList& list);
    // `what` names the file in errors.
    static HashList Read(const unsigned char* bytes, size_t size, const std::string& what);
    // Whether a relative path of a history stays inside its folder: not
    // empty, not absolute, no empty, "." or ".." component.
    static bool IsSafeRelativePath(const std::string& path);
};

}  // namespace qzoffload
