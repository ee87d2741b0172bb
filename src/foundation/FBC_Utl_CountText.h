#pragma once
// A count with its noun, for the texts people read: "1 problem", "2
// problems". Stateless: any thread.
#include <cstddef>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

// `n` and `one` when n is 1, else `n` and `many`.
std::string FBC_Utl_CountText(size_t n, const char* one, const char* many);

}  // namespace ComVantoVantoQZ64RADPlug
