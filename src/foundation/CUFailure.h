#pragma once
// Why an operation failed, as a value that travels to the caller: the result
// code the operation's contract fixes, a sentence saying what failed, and
// where (the file and the byte offset in it) when the failure concerns a
// file's bytes. Every layer reports its failures with this one record:
// operations that return a code keep the record for the caller to ask
// (`LastFailure()`), and code that throws throws a CUError carrying one.
// A plain value: copy it freely between threads.
#include <cstdint>
#include <exception>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUFailure {
public:
    static constexpr int64_t kNoOffset = -1;

    // Success: code 0, nothing to say.
    CUFailure() = default;
    CUFailure(uint32_t code, std::string what, std::string file = {}, int64_t offset = kNoOffset);

    uint32_t Code() const { return m_Code; }
    // A code whose low 16 bits are zero is a success.
    bool Failed() const { return (m_Code & 0xFFFFu) != 0; }
    const std::string& What() const { return m_What; }
    // Empty when the failure is not about one file.
    const std::string& File() const { return m_File; }
    // Byte offset in File(), kNoOffset when not known.
    int64_t Offset() const { return m_Offset; }

    // Puts the outer step in front of the reason: "reading the header
    // partition: partition pack does not parse". Returns *this.
    CUFailure& Within(const std::string& step);
    // Names the file when no inner step named one. Returns *this.
    CUFailure& InFile(const std::string& file);

    // One line for people: "what (at byte N of FILE) [error 0x131001]".
    std::string Describe() const;

private:
    uint32_t m_Code = 0;
    std::string m_What;
    std::string m_File;
    int64_t m_Offset = kNoOffset;
};

// The one exception type the library throws for a failure it can explain.
// what() is the fixed text a class's contract names ("MXFStream init
// error"), or the failure's own sentence when there is none; Failure()
// carries the code and the reason. Caught by type where a layer turns
// failures into results.
class CUError : public std::exception {
public:
    explicit CUError(CUFailure failure, const char* fixedText = nullptr);

    const char* what() const noexcept override;
    const CUFailure& Failure() const noexcept { return m_Failure; }
    uint32_t Code() const noexcept { return m_Failure.Code(); }

private:
    CUFailure m_Failure;
    const char* m_FixedText;
};

}  // namespace ComVantoVantoQZ64RADPlug
