#include "XmlTextWriter.h"

#include <stdexcept>

namespace ComVantoVantoQZ64RADPlug::CardWriter {

XmlTextWriter::XmlTextWriter() : m_text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") {}

std::string XmlTextWriter::Escape(std::string_view text, bool attribute) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                if (attribute)
                    out += "&quot;";
                else
                    out += c;
                break;
            // A parser normalises literal CR (and, in attributes, tab and LF)
            // away; character references keep them.
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                if (attribute)
                    out += "&#10;";
                else
                    out += c;
                break;
            case '\t':
                if (attribute)
                    out += "&#9;";
                else
                    out += c;
                break;
            default:
                // Other control characters cannot appear in an XML 1.0
                // document at all, not even as references.
                if (u < 0x20) throw std::invalid_argument("XML text holds a control character");
                out += c;
        }
    }
    return out;
}

void XmlTextWriter::Indent() {
    m_text.append(2 * m_open.size(), ' ');
}

void XmlTextWriter::Open(std::string_view name,
                         const std::vector<std::pair<std::string, std::string>>& attributes) {
    Indent();
    m_text += '<';
    m_text += name;
    for (const auto& [key, value] : attributes) {
        m_text += ' ';
        m_text += key;
        m_text += "=\"";
        m_text += Escape(value, true);
        m_text += '"';
    }
    m_text += ">\n";
    m_open.emplace_back(name);
}

void XmlTextWriter::Close() {
    if (m_open.empty()) return;
    const std::string name = std::move(m_open.back());
    m_open.pop_back();
    Indent();
    m_text += "</" + name + ">\n";
}

void XmlTextWriter::TextElement(std::string_view name, std::string_view text) {
    Indent();
    m_text += '<';
    m_text += name;
    m_text += '>';
    m_text += Escape(text, false);
    m_text += "</";
    m_text += name;
    m_text += ">\n";
}

std::string XmlTextWriter::Finish() {
    while (!m_open.empty()) Close();
    return m_text;
}

}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
