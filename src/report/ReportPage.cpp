#include "ReportPage.h"

#include "PageView.h"

#include <mstch/mstch.hpp>

namespace qzreport {

extern const unsigned char kReportTemplate[];  // UTF-8, NUL-terminated

namespace {

using nlohmann::ordered_json;

// The objects the template lists by their members, whose keys it does not
// know (a clip's value meanings).
constexpr const char* kListedObject = "valueTexts";

// A JSON value as a mustache value: objects as maps, arrays as arrays,
// booleans as booleans (for sections), numbers and texts as texts, null as
// the empty text (which a section takes as absent). A listed object
// (`listed`) also gets "entries", its text members as {name, value} in
// order; no other object has them, so a page of many clips holds its texts
// once.
mstch::node View(const ordered_json& value, bool listed = false) {
    switch (value.type()) {
        case ordered_json::value_t::object: {
            mstch::map map;
            mstch::array entries;
            for (const auto& [key, member] : value.items()) {
                map.emplace(key, View(member, key == kListedObject));
                if (listed && member.is_string())
                    entries.push_back(mstch::map{{"name", key}, {"value", member.get<std::string>()}});
            }
            if (listed) map.emplace("entries", std::move(entries));
            return map;
        }
        case ordered_json::value_t::array: {
            mstch::array array;
            for (const auto& item : value) array.push_back(View(item, listed));
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

std::string ReportPage::Render(ordered_json report) {
    // Each form is let go once the next is made: a page of many clips holds
    // one of them at a time, not all three.
    ordered_json page = PageView::Of(report);
    report = ordered_json();
    const mstch::node view = View(page);
    page = ordered_json();
    return mstch::render(reinterpret_cast<const char*>(kReportTemplate), view);
}

}  // namespace qzreport
