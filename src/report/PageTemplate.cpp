#include "PageTemplate.h"

#include <mstch/mstch.hpp>

namespace qzreport {

namespace {

using nlohmann::ordered_json;

// `listedKey` names the objects that get "entries" (null: none); `listed`
// says this value is one of them (an array of them lists each).
mstch::node View(const ordered_json& value, const char* listedKey, bool listed) {
    switch (value.type()) {
        case ordered_json::value_t::object: {
            mstch::map map;
            mstch::array entries;
            for (const auto& [key, member] : value.items()) {
                map.emplace(key, View(member, listedKey, listedKey != nullptr && key == listedKey));
                if (listed && member.is_string())
                    entries.push_back(mstch::map{{"name", key}, {"value", member.get<std::string>()}});
            }
            if (listed) map.emplace("entries", std::move(entries));
            return map;
        }
        case ordered_json::value_t::array: {
            mstch::array array;
            for (const auto& item : value) array.push_back(View(item, listedKey, listed));
            return array;
        }
        case ordered_json::value_t::boolean:
            return value.get<bool>();
        case ordered_json::value_t::string:
            return value.get<std::string>();
        case ordered_json::value_t::null:
            return std::string();
        default:
            return value.dump();
    }
}

}  // namespace

std::string PageTemplate::Render(const unsigned char* templateText, ordered_json view,
                                 const char* listedKey) {
    // The JSON is let go once the engine's view is made: a page of many
    // clips holds one of the two at a time.
    const mstch::node node = View(view, listedKey, false);
    view = ordered_json();
    return mstch::render(reinterpret_cast<const char*>(templateText), node);
}

}  // namespace qzreport
