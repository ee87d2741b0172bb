#pragma once
// A value that may be absent, as JSON: the value, or null. Every JSON
// writer of the host side uses it. Any thread.
#include <nlohmann/json.hpp>

#include <optional>

namespace qzimport {

template <class T>
nlohmann::ordered_json OrNull(const std::optional<T>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

}  // namespace qzimport
