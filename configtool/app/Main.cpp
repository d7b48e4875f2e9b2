// Program entry of the Vantrel Configuration Tool.
#include "ProgramTexts.h"
#include "Startup.h"
#include "cvi/UserInterface.h"

namespace {

// The exit code of a tool that could not start (its panels, its run-time).
constexpr int kStartFailed = 1;

} // namespace

int main(int argc, char *argv[])
{
    int status = kStartFailed;
    if (InitUserInterface(argc, argv) >= 0 &&
        InitializeKelto(argc, argv, kProgramName, kProgramVersion, kProgramFullTitle, kExpertPassword,
                        kShortRightsText, kLongRightsText) >= 0) {
        RunUserInterface();
        status = 0;
    }
    CleanUpKelto();
    return status;
}
