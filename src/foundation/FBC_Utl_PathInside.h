#pragma once
// Whether one path lies inside a folder, the one test every command uses to
// keep what it writes off a card and a copy off its own source. Stateless:
// any thread.
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// Whether `path` is `folder` or lies inside it. Both are compared weakly
// canonical: symbolic links and ".." are resolved as far as the path exists
// and the rest is normalised, so a folder not made yet (an output folder) is
// placed where it would be made; for existing paths that is their real path.
// False when either cannot be resolved.
bool FBC_Utl_PathIsInside(const std::string& path, const std::string& folder);

}  // namespace ComVantoVantoQZ64RADPlug
