#include "CUSleep.h"

#include <chrono>
#include <thread>

namespace ComVantoVantoQZ64RADPlug {

void CUSleep(unsigned int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace ComVantoVantoQZ64RADPlug
