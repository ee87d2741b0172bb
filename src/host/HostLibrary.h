#pragma once
// A shared object the host loads at run time: a plug-in bundle's module, or
// a part of the host itself that only some of its work needs. Every symbol
// is bound when it loads (one it cannot find refuses the load, naming it),
// and it stays loaded until the process ends: objects it made may live that
// long. Thread safe: a loaded library does not change.
#include <memory>
#include <string>

#include "CUFailure.h"

namespace ComVantoVantoQZ64RADPlug {

class HostLibrary {
public:
    // Null with the reason in `why` when the file is missing or does not
    // load (the loader's own message).
    static std::shared_ptr<HostLibrary> Load(const std::string& path, CUFailure* why = nullptr);

    // The address of an exported symbol, or null.
    void* Symbol(const std::string& name) const;
    const std::string& Path() const { return m_path; }

    HostLibrary(const HostLibrary&) = delete;
    HostLibrary& operator=(const HostLibrary&) = delete;

private:
    HostLibrary(std::string path, void* handle) : m_path(std::move(path)), m_handle(handle) {}

    std::string m_path;
    void* m_handle;  // never closed
};

}  // namespace ComVantoVantoQZ64RADPlug
