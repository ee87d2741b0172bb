#include "FBC_Utl_Format.h"

#include <cstdarg>
#include <cstdio>

namespace ComVantoVantoQZ64RADPlug {

std::string FBC_Utl_Format(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace ComVantoVantoQZ64RADPlug
