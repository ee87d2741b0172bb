#pragma once
// Dates of an ASC MHL history: XML Schema dateTime text, written in UTC
// ("2024-05-01T09:30:00Z"), read with any zone offset or none (then taken
// as UTC); and the stamp of a generation's file name ("2024-05-01_093000Z").
// Seconds are counted from 1970-01-01 00:00:00 UTC. Pure functions.
#include <cstdint>
#include <optional>
#include <string>

namespace qzoffload {

class MhlDate {
public:
    static std::string Format(int64_t seconds);
    static std::string FileNameStamp(int64_t seconds);
    // Nothing for text that is not a dateTime (fractions of a second are cut off).
    static std::optional<int64_t> Parse(const std::string& text);
};

}  // namespace qzoffload
