#include "CommandRegistry.h"

#include "HostLibrary.h"
#include "HostProcess.h"
#include "ImportError.h"
#include "InstalledLayout.h"
#include "MediaLayers.h"

#include <filesystem>
#include <mutex>

namespace qzcard {

using namespace ComVantoVantoQZ64RADPlug;

std::vector<CommandInstaller>& CommandInstallers() {
    static std::vector<CommandInstaller> installers;
    return installers;
}

bool RegisterCommand(CommandInstaller installer) {
    CommandInstallers().push_back(std::move(installer));
    return true;
}

namespace {

// The installed module, else the one the build put beside this executable.
std::string MediaModulePath() {
    const std::string installed = qzimport::InstalledPartPath(kMediaModuleName);
    if (!installed.empty()) return installed;
    return (std::filesystem::path(HostProcess::ExecutablePath()).parent_path() / kMediaModuleName).string();
}

const MediaLayers* LoadModule(std::string& why) {
    const std::string path = MediaModulePath();
    CUFailure failure;
    const std::shared_ptr<HostLibrary> module = HostLibrary::Load(path, &failure);
    if (!module) {
        why = failure.Describe();
        return nullptr;
    }
    auto entry = reinterpret_cast<MediaLayersEntry>(module->Symbol(kMediaLayersEntry));
    if (!entry) {
        why = path + " does not export " + kMediaLayersEntry;
        return nullptr;
    }
    return entry();
}

}  // namespace

const MediaLayers& LoadMediaLayers() {
    static std::mutex lock;
    static const MediaLayers* layers = nullptr;
    static std::string why;
    std::lock_guard<std::mutex> hold(lock);
    if (!layers && why.empty()) layers = LoadModule(why);
    if (!layers)
        throw qzimport::ImportError(
            "cannot load the media layers (mov and mxf exports, report, verify --decode): " + why,
            ComVantoVantoQZ64RADPlug::CUFailureKind::kSetup);
    return *layers;
}

}  // namespace qzcard
