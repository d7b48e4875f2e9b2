#include "SettingsFile.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "Languages.h"
#include "ProgramTexts.h"
#include "cvi/Files.h"

namespace {

constexpr char kInformation[] = "Information";
constexpr char kConfiguration[] = "Configuration";
constexpr char kLanguageTag[] = "Language";
constexpr char kMakerAddress[] = "https://www.venkor.example";
constexpr const char *kLanguageCodes[] = {"EN", "DE"};

std::string g_settingsFilePath;
IniText g_ini = nullptr;

// One access to the file: the object exists from construction to destruction.
class SettingsAccess {
public:
    SettingsAccess() : ini_(CreateIniHandle()) {}
    ~SettingsAccess() { CloseSettingsFileHandle(); }
    SettingsAccess(const SettingsAccess &) = delete;
    SettingsAccess &operator=(const SettingsAccess &) = delete;

    IniText Ini() const { return ini_; }
    void Put(const char *section, const char *tag, const char *value) { Ini_PutString(ini_, section, tag, value); }
    void Write() { Ini_WriteToFile(ini_, g_settingsFilePath.c_str()); }

private:
    IniText ini_;
};

bool IsFolder(const std::string &path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The folder and the parents it lacks; the path goes to the file system as it stands, never
// through a shell.
bool CreateFolderWithParents(const std::string &path)
{
    if (path.empty() || IsFolder(path))
        return !path.empty();
    const std::size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos && separator > 0) {
        const std::string parent = path.substr(0, separator);
        if (parent.back() != ':')
            CreateFolderWithParents(parent);
    }
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE || IsFolder(path);
}

int LanguageIndexOf(const char *code)
{
    for (int i = 0; i < 2; ++i) {
        if (std::strcmp(code, kLanguageCodes[i]) == 0)
            return i;
    }
    return -1;
}

} // namespace

const char *SettingsFilePath()
{
    return g_settingsFilePath.c_str();
}

IniText CreateIniHandle()
{
    CloseSettingsFileHandle();
    g_ini = Ini_New(0);
    Ini_ReadFromFile(g_ini, g_settingsFilePath.c_str());
    return g_ini;
}

void CloseSettingsFileHandle()
{
    if (g_ini)
        Ini_Dispose(g_ini);
    g_ini = nullptr;
}

int CheckSettingsFile()
{
    g_settingsFilePath.clear();
    const char *appData = std::getenv("APPDATA");
    const std::string folder = std::string(appData ? appData : "") + kSettingsFolder;
    g_settingsFilePath = folder + kSettingsFileName;
    if (GetFileAttrs(folder.c_str(), nullptr, nullptr, nullptr, nullptr) == 1)
        return GetFileAttrs(g_settingsFilePath.c_str(), nullptr, nullptr, nullptr, nullptr) == 0 ? 0 : 1;
    // A folder that cannot be made shows later, as settings that are never kept.
    CreateFolderWithParents(folder);
    return 1;
}

int CreateSettingsFile(bool resetLanguage)
{
    SettingsAccess access;
    access.Put(kInformation, "Software name", g_programTexts.fullTitle);
    access.Put(kInformation, "Additional information", kMakerAddress);
    if (resetLanguage) {
        access.Put(kConfiguration, kLanguageTag, kLanguageCodes[kEnglish]);
        g_language = kEnglish;
    }
    access.Write();
    return 0;
}

int ReadSettingsFile()
{
    SettingsAccess access;
    char code[3] = {};
    Ini_GetStringIntoBuffer(access.Ini(), kConfiguration, kLanguageTag, code, sizeof code);
    int language = LanguageIndexOf(code);
    if (language < 0) {
        access.Put(kConfiguration, kLanguageTag, kLanguageCodes[kEnglish]);
        access.Write();
        SetActiveLanguage(kEnglish);
        language = kEnglish;
    }
    g_language = language;
    return 0;
}

void StoreLanguageSettingsToFile()
{
    SettingsAccess access;
    const int language = g_language == kGerman ? kGerman : kEnglish;
    access.Put(kConfiguration, kLanguageTag, kLanguageCodes[language]);
    access.Write();
}
