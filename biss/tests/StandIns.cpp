#include "StandIns.h"

#include <sstream>

namespace ferrolink_test {

namespace {

std::string SimDllFolder()
{
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "simdll";
}

// Loaded once and kept for the whole program.
HMODULE StandIn(const char *file)
{
    static const bool onPath = SetDllDirectoryA(SimDllFolder().c_str()) != FALSE;
    if (!onPath)
        throw std::runtime_error("the stand-in folder cannot go on the DLL search path");
    HMODULE module = LoadLibraryA((SimDllFolder() + "\\" + file).c_str());
    if (module == nullptr)
        throw std::runtime_error(std::string("the stand-in ") + file + " does not load");
    return module;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

template <class Control>
std::vector<std::string> LogOf(const Control &control)
{
    std::string text(control.CopyLog(nullptr, 0) + 1, '\0');
    control.CopyLog(text.data(), static_cast<uint32_t>(text.size()));
    return Lines(text.c_str());
}

} // namespace

sim::ftdi::IFtdiSimControl &SimulatedFtdi()
{
    static sim::ftdi::IFtdiSimControl *const control =
        ModuleEntry<sim::ftdi::IFtdiSimControl *()>(StandIn("ftd2xx.dll"), "FtdiSim_Control")();
    return *control;
}

sim::dlportio::IPortSimControl &SimulatedPorts()
{
    static sim::dlportio::IPortSimControl *const control =
        ModuleEntry<sim::dlportio::IPortSimControl *()>(StandIn("DlPortIO.dll"), "DlPortSim_Control")();
    return *control;
}

std::vector<std::string> FtdiLogLines()
{
    return LogOf(SimulatedFtdi());
}

std::vector<std::string> PortLogLines()
{
    return LogOf(SimulatedPorts());
}

} // namespace ferrolink_test
