#include "AdapterPowerSupply.h"

namespace sim::kelto {

std::function<bool()> PoweredWhileAdapterOpen(dravio::sim::ISimController &driver, uint32_t deviceNumber)
{
    return [&driver, deviceNumber] {
        dravio::sim::DeviceState state{};
        return driver.QueryDevice(deviceNumber, &state) == 0 && state.openHandles > 0;
    };
}

} // namespace sim::kelto
