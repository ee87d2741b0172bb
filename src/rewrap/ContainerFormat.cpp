#include "ContainerFormat.h"

#include "ContainerWriter.h"

namespace qzrewrap {

std::string ContainerFormat::Name() const {
    return ContainerName(m_container);
}

std::vector<std::string> ContainerFormat::FileNames(const std::string& baseName,
                                                    const qzimport::OutputOptions&, uint32_t) const {
    return {baseName + "." + ContainerName(m_container)};
}

std::unique_ptr<qzimport::OutputWriter> ContainerFormat::CreateWriter(
    const std::string& folder, const std::string& baseName, const qzimport::OutputOptions& options) const {
    return std::make_unique<ContainerWriter>(
        m_container, folder + "/" + baseName + "." + ContainerName(m_container), options);
}

}  // namespace qzrewrap
