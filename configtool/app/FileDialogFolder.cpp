#include "FileDialogFolder.h"

#include <cstdlib>

#include "ToolState.h"

std::string FileDialogFolder()
{
    if (g_fileDialogUsed)
        return " ";
    g_fileDialogUsed = 1;
    const char *profile = std::getenv("USERPROFILE");
    return profile ? profile : "";
}
