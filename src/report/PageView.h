#pragma once
// What the report page shows beside the report's data: the texts a reader
// needs that report.json leaves to its reader (counts with their plurals,
// each copy's short name, a clip's problems folded into frame ranges), the
// list of what needs attention that the page leads with (clips with
// problems or that cannot be imported, unlisted entries, copies short of
// verified, recordings with missing pieces, dailies not found), and the
// recordings worth a table (more than one piece, or a piece missing).
// Pure function of the report's JSON; any thread.
#include <nlohmann/json.hpp>

namespace qzreport {

class PageView {
public:
    // `report` as CardReport writes report.json; the same, with the page's keys added.
    static nlohmann::ordered_json Of(const nlohmann::ordered_json& report);
};

}  // namespace qzreport
