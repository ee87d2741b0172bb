#include "ReportPage.h"

#include "PageTemplate.h"
#include "PageView.h"

namespace qzreport {

extern const unsigned char kReportTemplate[];  // UTF-8, NUL-terminated

std::string ReportPage::Render(const nlohmann::ordered_json& report) {
    return PageTemplate::Render(kReportTemplate, PageView::Of(report));
}

}  // namespace qzreport
