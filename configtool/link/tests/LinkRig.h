// The sensor link against the real ferrolink.dll, with a simulated USB adapter and a simulated
// Kelto encoder on slave 0 of its line plugged into the simulated driver that ferrolink loads
// (VANTREL_SIMULATION=1). ferrolink's waits run on the adapter's virtual clock, and the link's
// pauses, event processing and progress are recorded rather than carried out.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "SimKeltoEncoder.h"
#include "UsbAdapterRig.h"
#include "ferrolink.h"

namespace link_test {

// What the link asked of the user interface.
struct ServiceLog {
    std::vector<unsigned> sleeps;        // milliseconds
    std::vector<double> delays;          // seconds, with event processing
    std::vector<int> progress;
    int eventRounds = 0;
    std::function<void()> onEvents;      // runs inside each event round
};

ServiceLog &Services();
// Routes the link's services into Services(), cleared.
void RecordLinkServices();

// One access to a register of slave 0 as the master put it on the bus.
struct SlaveAccess {
    bool write = false;
    std::uint8_t reg = 0;
    std::uint8_t value = 0;  // writes only

    bool operator==(const SlaveAccess &) const = default;
};
void PrintTo(const SlaveAccess &access, std::ostream *os);
SlaveAccess Write(std::uint8_t reg, std::uint8_t value);
SlaveAccess Read(std::uint8_t reg);

class LinkRigTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Plugs the adapter with the encoder; the encoder runs while the adapter is open.
    void Plug(sim::biss::AdapterIdentity identity = {"KELTO-0001", true}, sim::kelto::KeltoModel model = {});
    // Plugs the default rig and brings the link up.
    void PlugAndConnect();

    // The slave register accesses since the last ClearTrace.
    std::vector<SlaveAccess> SlaveAccesses();
    void ClearTrace();
    // Adapter requests since the last ClearTrace: every bus access starts with one.
    std::size_t AdapterRequests();

    BISS_U32 ComParam(BISS_U32 index);
    BISS_U32 FrameParam(BISS_U32 index);

    std::unique_ptr<sim::biss::UsbAdapterRig> rig_;
    std::unique_ptr<sim::kelto::SimKeltoEncoder> encoder_;
};

} // namespace link_test
