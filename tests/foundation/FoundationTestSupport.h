#pragma once
// Helpers shared by the foundation tests: strings and memory streams in and
// out, the code a failure throws, a scratch folder per test, and the working
// folder and time zone changed for one scope.
#include "CUDateTime.h"
#include "CUFailure.h"
#include "CUMemoryStream.h"
#include "CUStringMac.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace foundation_test {

using ComVantoVantoQZ64RADPlug::CUDateTime;
using ComVantoVantoQZ64RADPlug::CUError;
using ComVantoVantoQZ64RADPlug::CUMemoryStream;
using ComVantoVantoQZ64RADPlug::CUSharedPtr;
using ComVantoVantoQZ64RADPlug::CUStringMac;

inline CUSharedPtr<CUStringMac> S(const std::string& utf8) {
    return CUStringMac::Create(utf8.c_str());
}
// A string object in the null state (not a null pointer).
inline CUSharedPtr<CUStringMac> NullS() {
    return CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null()));
}
inline std::string Str(const CUSharedPtr<CUStringMac>& s) {
    return s ? s->Utf8() : std::string("<null>");
}

// A stream holding its own copy of `bytes`, and a stream's bytes back.
inline CUSharedPtr<CUMemoryStream> Memory(const std::string& bytes) {
    return CUSharedPtr<CUMemoryStream>(
        new CUMemoryStream(const_cast<char*>(bytes.data()), bytes.size(), false));
}
inline std::string Bytes(const CUSharedPtr<CUMemoryStream>& stream) {
    const uint64_t length = stream->Length();
    return length ? std::string(reinterpret_cast<const char*>(stream->GetPtr()), length) : std::string();
}

// A test with a fresh folder of its own, removed afterwards.
class ScratchTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return (m_Dir / name).string(); }

    qztest::ScratchFolder m_Scratch{"foundation"};
    const std::filesystem::path m_Dir = m_Scratch.Path();
};

// The code of the CUError that f throws; 0 when it throws none.
template <class F>
uint32_t ThrownBy(F&& f) {
    try {
        f();
    } catch (const CUError& error) {
        return error.Code();
    }
    return 0;
}

// Makes `folder` the working folder until the end of the scope, for tests of
// relative paths.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : m_Old(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~InFolder() {
        std::error_code error;  // reported, not thrown, from a destructor
        std::filesystem::current_path(m_Old, error);
        if (error) ADD_FAILURE() << "cannot return to " << m_Old << ": " << error.message();
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path m_Old;
};

// Sets the system time zone to Europe/Berlin (daylight saving time with
// both switches) until the end of the scope.
class BerlinTimeZone {
public:
    BerlinTimeZone() {
        if (const char* tz = std::getenv("TZ")) m_OldTz = tz;
        Set("Europe/Berlin");
    }
    ~BerlinTimeZone() { Set(m_OldTz ? m_OldTz->c_str() : nullptr); }
    BerlinTimeZone(const BerlinTimeZone&) = delete;
    BerlinTimeZone& operator=(const BerlinTimeZone&) = delete;

private:
    static void Set(const char* tz) {
        if (tz)
            ::setenv("TZ", tz, 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        CUDateTime::ResetSystemTimeZone();
    }
    std::optional<std::string> m_OldTz;
};

}  // namespace foundation_test
