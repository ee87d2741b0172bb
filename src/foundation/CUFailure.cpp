#include "CUFailure.h"

#include <cstdio>
#include <utility>

namespace ComVantoVantoQZ64RADPlug {

CUFailure::CUFailure(uint32_t code, std::string what, std::string file, int64_t offset)
    : m_Code(code), m_What(std::move(what)), m_File(std::move(file)), m_Offset(offset) {}

CUFailure& CUFailure::Within(const std::string& step) {
    if (!step.empty()) m_What = m_What.empty() ? step : step + ": " + m_What;
    return *this;
}

CUFailure& CUFailure::InFile(const std::string& file) {
    if (m_File.empty()) m_File = file;
    return *this;
}

std::string CUFailure::Describe() const {
    std::string text = m_What.empty() ? std::string("failed") : m_What;
    if (m_Offset != kNoOffset && !m_File.empty()) {
        text += " (at byte " + std::to_string(m_Offset) + " of " + m_File + ")";
    } else if (m_Offset != kNoOffset) {
        text += " (at byte " + std::to_string(m_Offset) + ")";
    } else if (!m_File.empty()) {
        text += " (" + m_File + ")";
    }
    char code[32];
    std::snprintf(code, sizeof code, " [error 0x%X]", static_cast<unsigned>(m_Code));
    return text + code;
}

CUError::CUError(CUFailure failure, const char* fixedText)
    : m_Failure(std::move(failure)), m_FixedText(fixedText) {}

const char* CUError::what() const noexcept {
    return m_FixedText ? m_FixedText : m_Failure.What().c_str();
}

}  // namespace ComVantoVantoQZ64RADPlug
