#pragma once
// One movie container an export writes (MOV or MXF OP1a): a single file
// ID.mov or ID.mxf per output set, written by a ContainerWriter.
// Thread safe: it holds only the container kind.
#include "ContainerPlan.h"
#include "OutputFormat.h"

namespace qzrewrap {

class ContainerFormat : public qzimport::OutputFormat {
public:
    explicit ContainerFormat(Container container) : m_container(container) {}

    std::string Name() const override;
    std::vector<std::string> FileNames(const std::string& baseName, const qzimport::OutputOptions& options,
                                       uint32_t soundTracks) const override;
    std::unique_ptr<qzimport::OutputWriter> CreateWriter(
        const std::string& folder, const std::string& baseName,
        const qzimport::OutputOptions& options) const override;

private:
    Container m_container;
};

}  // namespace qzrewrap
