#pragma once
// The card report page: the report's data (as report.json holds it) turned
// into the mustache engine's view and rendered through the page template
// compiled into the layer (CardReport.html.mustache). The engine escapes
// every value; no markup is made in code. Any thread (the engine's escape
// setting is set once, before the first page).
#include <nlohmann/json.hpp>

#include <string>

namespace qzreport {

class ReportPage {
public:
    // Takes the report (moved in: it is let go before the page is made).
    static std::string Render(nlohmann::ordered_json report);
};

}  // namespace qzreport
