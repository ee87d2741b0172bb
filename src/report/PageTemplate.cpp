#include "PageTemplate.h"

#include <mstch/mstch.hpp>

namespace qzreport {

namespace {

using nlohmann::ordered_json;

mstch::node View(const ordered_json& value) {
    switch (value.type()) {
        case ordered_json::value_t::object: {
            mstch::map map;
            mstch::array entries;
            for (const auto& [key, member] : value.items()) {
                map.emplace(key, View(member));
                if (member.is_string())
                    entries.push_back(mstch::map{{"name", key}, {"value", member.get<std::string>()}});
            }
            map.emplace("entries", std::move(entries));
            return map;
        }
        case ordered_json::value_t::array: {
            mstch::array array;
            for (const auto& item : value) array.push_back(View(item));
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

std::string PageTemplate::Render(const unsigned char* templateText, const ordered_json& view) {
    return mstch::render(reinterpret_cast<const char*>(templateText), View(view));
}

}  // namespace qzreport
