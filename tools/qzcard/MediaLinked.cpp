// qzcard-media: the media layers linked in (see MediaCommands.h).
#include "MediaCommands.h"

#include "OutputFormatNamed.h"
#include "PictureDecodeCheck.h"

namespace qzcard {

std::unique_ptr<qzimport::OutputFormat> MediaOutputFormat(const std::string& name) {
    return qzrewrap::OutputFormatNamed(name);
}

std::unique_ptr<qzimport::PictureObserver> MediaPictureCheck() {
    return std::make_unique<qzreport::PictureDecodeCheck>();
}

std::optional<int> RunInMediaExecutable(int, char**) {
    return std::nullopt;
}

}  // namespace qzcard
