#pragma once
// Minimal XML text writer for the card writer's documents: declaration,
// nested elements, attributes and escaped text, indented by two spaces.
// Not thread-safe; one writer per document.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

class XmlTextWriter {
public:
    XmlTextWriter();  // starts with <?xml version="1.0" encoding="UTF-8"?>

    // Opens an element; attributes are (name, value) pairs, values escaped.
    void Open(std::string_view name, const std::vector<std::pair<std::string, std::string>>& attributes = {});
    void Close();  // closes the innermost open element
    // <name>escaped text</name>
    void TextElement(std::string_view name, std::string_view text);

    // The document; closes any element still open.
    std::string Finish();

    // Escapes &, <, > and, for attribute values, " too.
    static std::string Escape(std::string_view text, bool attribute);

private:
    void Indent();
    std::string m_text;
    std::vector<std::string> m_open;
};

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
