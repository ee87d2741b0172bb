#include "OutputFormatNamed.h"

#include "ContainerFormat.h"

namespace qzrewrap {

std::unique_ptr<qzimport::OutputFormat> OutputFormatNamed(const std::string& name) {
    if (name == "mov") return std::make_unique<ContainerFormat>(Container::kMov);
    if (name == "mxf") return std::make_unique<ContainerFormat>(Container::kMxf);
    return nullptr;
}

std::vector<std::string> OutputFormatNames() {
    return {"mov", "mxf"};
}

}  // namespace qzrewrap
