#pragma once
// Why an export step failed (an output that cannot be written, renamed or
// is refused, a frame the plug-in could not deliver): the sentence the
// command prints for the clip concerned.
#include <stdexcept>
#include <string>

namespace qzcard {

class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace qzcard
