#pragma once
// What needs the media libraries (libavformat, libavcodec: the mov and mxf
// export formats, report, verify --decode) lives in a second executable,
// qzcard-media, built from the same command files with the rewrap and
// report layers linked. qzcard itself starts without loading those
// libraries (a lighter and quicker process for list, verify, offload, es
// exports) and hands a command line that needs them to qzcard-media, beside
// it, in its own place: same arguments, same process, same exit code.
#include "ClipVerifier.h"
#include "OutputFormat.h"

#include <memory>
#include <optional>
#include <string>

namespace qzcard {

// The mov or mxf output format; null in qzcard (which never gets there).
std::unique_ptr<qzimport::OutputFormat> MediaOutputFormat(const std::string& name);
// verify --decode's picture check; null in qzcard.
std::unique_ptr<qzimport::PictureObserver> MediaPictureCheck();
// In qzcard: when the command line needs the media libraries, runs
// qzcard-media in this process's place and returns only when it cannot
// (the exit code, after saying why). Otherwise, and in qzcard-media,
// nothing.
std::optional<int> RunInMediaExecutable(int argc, char** argv);

}  // namespace qzcard
