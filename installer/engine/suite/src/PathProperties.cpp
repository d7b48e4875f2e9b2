#include "suite/SetupEngine.h"

#include <shlobj.h>

#include "kr/folders.h"
#include "suite/EnginePaths.h"

namespace {

struct ShellFolder {
    const wchar_t* property;
    int csidl;
};

constexpr ShellFolder kShellFolders[] = {
    {L"LocalAppDataFolder", CSIDL_LOCAL_APPDATA},   {L"PersonalFolder", CSIDL_PERSONAL},
    {L"CommonDocuments", CSIDL_COMMON_DOCUMENTS},   {L"CommonAppDataFolder", CSIDL_COMMON_APPDATA},
    {L"AppDataFolder", CSIDL_APPDATA},              {L"AdminToolsFolder", CSIDL_ADMINTOOLS},
};

} // namespace

// The 64-bit folders come from the 64-bit proxy under WOW64; without that
// proxy they are the same as the 32-bit ones.
void CSetupEngine::InitializePathProperties()
{
    m_properties.SetAttributeLocked(L"SETUPSUPPORTDIR", m_supportFolder);
    m_properties.SetAttributeLocked(L"ProgramFilesFolder", kr::get_program_files_folder(kr::program_files_main));
    m_properties.SetAttributeLocked(L"CommonFilesFolder", kr::get_program_files_folder(kr::program_files_common));
    m_properties.SetAttributeLocked(L"WindowsFolder", kr::get_windows_folder());
    const _stringx system = kr::get_system_folder(kr::system_folder_system);
    m_properties.SetAttributeLocked(L"SystemFolder", system);
    m_properties.SetAttributeLocked(L"System64Folder", system);
    for (const ShellFolder& folder : kShellFolders)
        m_properties.SetAttributeLocked(folder.property, GetSpecialFolderPath(folder.csidl));
    m_properties.SetAttributeLocked(L"TempFolder", kr::get_temp_path());
    m_properties.SetAttributeLocked(L"ProgramFiles64Folder", kr::get_program_files_folder(kr::program_files_main));
    m_properties.SetAttributeLocked(L"CommonFiles64Folder", kr::get_program_files_folder(kr::program_files_common));
}
