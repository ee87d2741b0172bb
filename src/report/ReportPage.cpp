#include "ReportPage.h"

#include "PageView.h"

#include <mstch/mstch.hpp>

namespace qzreport {

extern const unsigned char kReportTemplate[];  // UTF-8, NUL-terminated

namespace {

using nlohmann::ordered_json;

// A JSON value as a mustache value: objects as maps, arrays as arrays,
// booleans as booleans (for sections), numbers and texts as texts, null as
// the empty text (which a section takes as absent). Each object also gets
// "entries", its members as {name, value} in order, so that a template can
// list an object whose keys it does not know (a clip's value meanings).
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

std::string ReportPage::Render(const ordered_json& report) {
    return mstch::render(reinterpret_cast<const char*>(kReportTemplate), View(PageView::Of(report)));
}

}  // namespace qzreport
