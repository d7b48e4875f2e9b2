// The per-user settings file: program name and the operator's language, under the user's
// application-data folder.
#pragma once

#include "cvi/IniFile.h"

inline constexpr char kSettingsFolder[] = "\\Venkor\\Vantrel Configuration Tool";
inline constexpr char kSettingsFileName[] = "\\Calvista.ini";

// The path CheckSettingsFile built; empty before.
const char *SettingsFilePath();

// The object of one access: read from the file (a missing file leaves it empty), disposed after.
IniText CreateIniHandle();
void CloseSettingsFileHandle();

// Builds the paths and makes sure the folder exists: 1 when the file has to be created, 0 when it exists.
int CheckSettingsFile();
// Writes the program's entries; with resetLanguage also "EN" and the language index 0.
int CreateSettingsFile(bool resetLanguage);
// Reads the language; an unknown code becomes "EN" in the file and in the program. Returns 0.
int ReadSettingsFile();
void StoreLanguageSettingsToFile();
