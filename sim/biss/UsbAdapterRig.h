// Everything behind one simulated USB adapter, put together: the line of
// slaves, the master chip, the adapter firmware running in virtual time, and
// its device on the simulated USB driver. Members are in construction order.
#pragma once

#include "DravioAdapterLink.h"
#include "MasterChipProfile.h"
#include "SimBissLine.h"
#include "SimBissMaster.h"
#include "SimClock.h"
#include "SimUsbAdapter.h"

namespace sim::biss {

struct UsbAdapterRig {
    UsbAdapterRig(dravio::sim::ISimController &driver, const MasterChipProfile &chip = MasterChipProfile::Chip52Rev4(),
                  AdapterIdentity identity = {}, const GUID &interfaceClass = kAdapterInterfaceA)
        : master(chip, line), adapter(master, std::move(identity)), link(driver, adapter, interfaceClass)
    {
        adapter.SetClock(&clock);
    }

    SimClock clock;
    SimBissLine line;
    SimBissMaster master;
    SimUsbAdapter adapter;
    DravioAdapterLink link;
};

} // namespace sim::biss
