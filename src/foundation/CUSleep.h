#pragma once
namespace ComVantoVantoQZ64RADPlug {

// Suspends the calling thread for that many milliseconds.
void CUSleep(unsigned int milliseconds);

}  // namespace ComVantoVantoQZ64RADPlug
