#include "DirectAdapter.h"

#include <windows.h>

#include <sstream>
#include <stdexcept>

namespace ferrolink_test {

namespace {

std::string SimDllFolder()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "simdll";
}

// The stand-ins stay loaded for the whole program, so their state survives
// the library's probe (which loads and frees them).
HMODULE StandIn(const char *file)
{
    static const bool onPath = SetDllDirectoryA(SimDllFolder().c_str()) != FALSE;
    (void)onPath;
    HMODULE module = LoadLibraryA((SimDllFolder() + "\\" + file).c_str());
    if (module == nullptr)
        throw std::runtime_error(std::string("the stand-in ") + file + " does not load");
    return module;
}

template <class Function>
Function *Entry(HMODULE module, const char *name)
{
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr)
        throw std::runtime_error(std::string("no entry ") + name);
    return reinterpret_cast<Function *>(reinterpret_cast<void *>(proc));
}

// ferrolink reads the simulation's clock from the simulated driver's module
// once the simulation is switched on.
void UseClockOf(sim::chipbus::MasterChipRig *rig)
{
    using SetClock = void(uint32_t (*)(void *), void *);
    static SetClock *const setClock = [] {
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        HMODULE module = LoadLibraryA("dravio_sim.dll");
        if (module == nullptr)
            throw std::runtime_error("dravio_sim.dll does not load");
        return Entry<SetClock>(module, "DravioSim_SetClock");
    }();
    if (rig == nullptr) {
        setClock(nullptr, nullptr);
        return;
    }
    // Time goes on while the library watches the clock, also in waits that
    // make no hardware access.
    setClock(
        [](void *context) {
            auto *clockRig = static_cast<sim::chipbus::MasterChipRig *>(context);
            clockRig->clock.Advance(20);
            return clockRig->clock.NowMilliseconds();
        },
        rig);
}

std::vector<std::string> CopiedLog(uint32_t (*copy)(char *, uint32_t))
{
    std::string text(copy(nullptr, 0) + 1, '\0');
    copy(text.data(), static_cast<uint32_t>(text.size()));
    return LogLines(text.c_str());
}

} // namespace

sim::ftdi::IFtdiSimControl &SimulatedFtdi()
{
    static sim::ftdi::IFtdiSimControl *const control =
        Entry<sim::ftdi::IFtdiSimControl *()>(StandIn("ftd2xx.dll"), "FtdiSim_Control")();
    return *control;
}

sim::dlportio::IPortSimControl &SimulatedPorts()
{
    static sim::dlportio::IPortSimControl *const control =
        Entry<sim::dlportio::IPortSimControl *()>(StandIn("DlPortIO.dll"), "DlPortSim_Control")();
    return *control;
}

std::vector<std::string> LogLines(const char *text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

void DirectAdapterTest::SetUp()
{
    SimulatedFtdi().Reset();
    SimulatedPorts().Reset();
    UseChip(sim::biss::MasterChipProfile::Chip52Rev4());
    ASSERT_EQ(0, BISS(BISS_Open)(&handle_));
}

void DirectAdapterTest::TearDown()
{
    if (handle_ != 0)
        BISS(BISS_Close)(handle_);
    SimulatedFtdi().Reset();
    SimulatedPorts().Reset();
    UseClockOf(nullptr);
    rig_.reset();
}

void DirectAdapterTest::UseChip(const sim::biss::MasterChipProfile &chip)
{
    rig_ = std::make_unique<sim::chipbus::MasterChipRig>(chip);
    UseClockOf(rig_.get());
}

void DirectAdapterTest::AddFtdiDevice(const char *description)
{
    SimulatedFtdi().AddDevice(description, rig_.get());
}

void DirectAdapterTest::ConnectPort(uint32_t base, uint32_t wiring)
{
    SimulatedPorts().Connect(base, wiring, rig_.get());
}

std::vector<std::string> DirectAdapterTest::FtdiLog()
{
    return CopiedLog([](char *buffer, uint32_t capacity) { return SimulatedFtdi().CopyLog(buffer, capacity); });
}

std::vector<std::string> DirectAdapterTest::PortLog()
{
    return CopiedLog([](char *buffer, uint32_t capacity) { return SimulatedPorts().CopyLog(buffer, capacity); });
}

BISS_U32 DirectAdapterTest::LastCode()
{
    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle_, &code, &level, text);
    return code;
}

BISS_U32 DirectAdapterTest::ComParam(BISS_U32 index)
{
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, index, &value));
    return value;
}

sim::biss::SimBissSlave &DirectAdapterTest::AddEncoder(uint64_t position)
{
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{24, position, 0x43, 0}});
    return slave;
}

void DirectAdapterTest::ConfigureEncoderChannel()
{
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 30));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
}

} // namespace ferrolink_test
