#include "FBC_Utl_CountText.h"

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_CountText(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace ComVantoVantoQZ64RADPlug
