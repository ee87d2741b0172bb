#pragma once
// Where qzcard's own run-time parts lie (the plug-in bundle, the media
// module): an installed qzcard keeps them in its private library folder,
// found from where its executable lies (PREFIX/bin/qzcard and
// PREFIX/lib/qzcard/ as `cmake --install` and the Debian package
// place them), so that it needs no environment variable; a qzcard run from
// its build tree finds them where the build put them. Thread safe.
#include <string>

namespace qzimport {

// The part `name` in the private library folder of the installed layout
// around the running executable; empty when it is not there.
std::string InstalledPartPath(const std::string& name);

}  // namespace qzimport
