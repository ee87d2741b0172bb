#pragma once
// The version of qzcard (the project's version as CMake knows it), for the
// `--version` answer and the `qzcardVersion` of every JSON output and
// record. A constant: any thread.

namespace qzimport {

// "0.1.0"
const char* QzcardVersion();

}  // namespace qzimport
