// Program entry of the Vantrel Configuration Tool.
#include "ProgramTexts.h"
#include "Startup.h"
#include "cvi/UserInterface.h"

int main(int argc, char *argv[])
{
    if (InitUserInterface(argc, argv) >= 0) {
        if (InitializeKelto(argc, argv, kProgramName, kProgramVersion, kProgramFullTitle, kExpertPassword,
                            kShortRightsText, kLongRightsText) >= 0)
            RunUserInterface();
    }
    CleanUpKelto();
    return 0;
}
