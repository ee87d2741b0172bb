#pragma once
// Room held back on a file system for what must be written last: a hidden
// file of the given size, allocated up front (FOLDER/.NAME.reserve), that is
// removed when the room is wanted, so that a drive filled by the work in
// between still takes the record of that work. The object removes its file
// when destroyed. One object is used by one thread.
#include <cstdint>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class CUSpaceReserve {
public:
    // Allocates `bytes` in `folder`. Throws CUError (kResultOutputFailure)
    // naming the system's reason when the room is not there.
    CUSpaceReserve(const std::string& folder, const std::string& name, uint64_t bytes);
    ~CUSpaceReserve();
    CUSpaceReserve(const CUSpaceReserve&) = delete;
    CUSpaceReserve& operator=(const CUSpaceReserve&) = delete;

    // Gives the room back (removes the file); nothing once released.
    void Release();

private:
    std::string m_Path;
    bool m_Held = false;
};

}  // namespace ComVantoVantoQZ64RADPlug
