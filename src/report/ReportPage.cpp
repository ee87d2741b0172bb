#include "ReportPage.h"

#include "PageTemplate.h"
#include "PageView.h"

namespace qzreport {

extern const unsigned char kReportTemplate[];  // UTF-8, NUL-terminated

std::string ReportPage::Render(nlohmann::ordered_json report) {
    // Each form is let go once the next is made: a page of many clips holds
    // one of them at a time, not all three.
    nlohmann::ordered_json page = PageView::Of(report);
    report = nlohmann::ordered_json();
    return PageTemplate::Render(kReportTemplate, std::move(page), "valueTexts");
}

}  // namespace qzreport
