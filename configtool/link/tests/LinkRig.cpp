#include "LinkRig.h"

#include "LinkServices.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SimulatedDriver.h"

namespace link_test {

using calvista_sim::SimulatedDriver;
using calvista_sim::UseClockOf;

namespace {

ServiceLog g_services;

} // namespace

ServiceLog &Services()
{
    return g_services;
}

void RecordLinkServices()
{
    g_services = {};
    SensorLinkServices services;
    services.processEvents = [] {
        ++g_services.eventRounds;
        if (g_services.onEvents)
            g_services.onEvents();
        return 0;
    };
    services.delayWithEvents = [](double seconds) {
        g_services.delays.push_back(seconds);
        return 0;
    };
    services.sleep = [](unsigned milliseconds) { g_services.sleeps.push_back(milliseconds); };
    services.setProgress = [](int percent) { g_services.progress.push_back(percent); };
    SetSensorLinkServices(services);
}

void PrintTo(const SlaveAccess &access, std::ostream *os)
{
    *os << (access.write ? "write " : "read ") << int{access.reg};
    if (access.write)
        *os << " := 0x" << std::hex << int{access.value} << std::dec;
}

SlaveAccess Write(std::uint8_t reg, std::uint8_t value)
{
    return {true, reg, value};
}

SlaveAccess Read(std::uint8_t reg)
{
    return {false, reg, 0};
}

void LinkRigTest::SetUp()
{
    g_link = SensorLinkState{};
    g_scd = ScdState{};
    calvista::InitAllDatabuffers();
    RecordLinkServices();
    SetLiveReadDisplay({});
}

void LinkRigTest::TearDown()
{
    CloseInterface(&g_link.handle);
    SetSensorLinkServices({});
    SetLiveReadDisplay({});
    UseClockOf(nullptr);
    encoder_.reset();
    rig_.reset();
}

void LinkRigTest::Plug(sim::biss::AdapterIdentity identity, sim::kelto::KeltoModel model)
{
    rig_ = std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), sim::biss::MasterChipProfile::Chip52Rev4(),
                                                      std::move(identity));
    ASSERT_EQ(0u, rig_->link.Status());
    encoder_ = std::make_unique<sim::kelto::SimKeltoEncoder>(std::move(model));
    calvista_sim::AttachEncoder(*encoder_, *rig_, rig_->line.AddSlave());
    UseClockOf(rig_.get());
}

void LinkRigTest::PlugAndConnect()
{
    Plug();
    ASSERT_EQ(0, ConfigInterface());
    ASSERT_EQ(1, g_link.connected);
}

// The master reaches a slave register through its access request: 0xE2 holds the register, plus
// 0x80 for a write, whose byte the host puts into the transfer memory at 0x80.
std::vector<SlaveAccess> LinkRigTest::SlaveAccesses()
{
    std::vector<SlaveAccess> accesses;
    for (const auto &event : rig_->master.Trace().Select(sim::biss::TraceKind::RegisterWrite)) {
        if (event.origin != sim::biss::AccessOrigin::Host)
            continue;
        if (event.address == 0xE2)
            accesses.push_back({(event.value & 0x80) != 0, static_cast<std::uint8_t>(event.value & 0x7F), 0});
        else if (event.address == 0x80 && !accesses.empty() && accesses.back().write)
            accesses.back().value = event.value;
    }
    return accesses;
}

void LinkRigTest::ClearTrace()
{
    rig_->master.Trace().Clear();
}

std::size_t LinkRigTest::AdapterRequests()
{
    return rig_->master.Trace().Select(sim::biss::TraceKind::AdapterRequest).size();
}

BISS_U32 LinkRigTest::ComParam(BISS_U32 index)
{
    BISS_U32 value = 0xDEAD;
    EXPECT_EQ(0, BISS_GetComParam(g_link.handle, index, &value));
    return value;
}

BISS_U32 LinkRigTest::FrameParam(BISS_U32 index)
{
    BISS_U32 value = 0xDEAD;
    EXPECT_EQ(0, BISS_GetFrameParam(g_link.handle, kEncoderChannel, index, &value));
    return value;
}

} // namespace link_test
