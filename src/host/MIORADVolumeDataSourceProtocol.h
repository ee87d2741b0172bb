#pragma once
// One mounted card as the host sees it.
#include <memory>
#include <optional>
#include <string>

namespace ComVantoVantoQZ64RADPlug {

class HostImage;

class MIORADVolumeDataSourceProtocol {
public:
    virtual ~MIORADVolumeDataSourceProtocol();

    virtual std::optional<std::string> name() = 0;
    virtual std::optional<std::string> path() = 0;
    virtual std::shared_ptr<HostImage> icon() = 0;
    virtual void willUnmount() = 0;
    virtual void didUnmount() = 0;
};

}  // namespace ComVantoVantoQZ64RADPlug
