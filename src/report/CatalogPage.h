#pragma once
// The catalog's page: every card with whether it may be erased as the
// catalog knows it (and why not: its files short of copies), the volumes
// holding its copies, its checks and outputs, led by the clips that lack
// copies. Rendered through the template compiled into the layer
// (CatalogPage.html.mustache); texts that are not UTF-8 are shown with
// U+FFFD. Any thread.
#include "CatalogOverview.h"

#include <cstdint>
#include <string>

namespace qzreport {

class CatalogPage {
public:
    // The page of `state`, written at `now` (seconds since 1970 UTC).
    static std::string Render(const qzcatalog::CatalogState& state, int64_t now);
    // Writes the page as FOLDER/catalog.html (the folder made when it is
    // not there) through a partial file renamed into place, and gives its
    // path. Throws ReportError naming the file.
    static std::string Write(const qzcatalog::CatalogState& state, const std::string& folder, int64_t now);

    // Lacking clips and short files shown before "N more".
    static constexpr size_t kListed = 500;
};

}  // namespace qzreport
