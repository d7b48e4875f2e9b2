#include "AdapterPowerSupply.h"

namespace sim::kelto {

PowerSupply PoweredWhileAdapterOpen(dravio::sim::ISimController &driver, uint32_t deviceNumber)
{
    return [&driver, deviceNumber]() -> uint32_t {
        dravio::sim::DeviceState state{};
        return driver.QueryDevice(deviceNumber, &state) == 0 ? state.openPeriod : 0;
    };
}

} // namespace sim::kelto
