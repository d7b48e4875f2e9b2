// The six texts the program entry hands to the start-up, and where the start-up keeps them.
#pragma once

inline constexpr char kProgramName[] = "Vantrel Configuration Tool";
inline constexpr char kProgramVersion[] = "V1.06.000";
inline constexpr char kProgramFullTitle[] = "Vantrel Configuration Tool V1.06.000";
inline constexpr char kExpertPassword[] = "QTFMarble!";
inline constexpr char kShortRightsText[] = "Copyright \xA9 Venkor. All rights reserved.";
inline constexpr char kLongRightsText[] = "Copyright \xA9 2012-2024 Venkor. All rights reserved.";

// The texts as the start-up was given them, kept for the whole run.
struct ProgramTexts {
    const char *name = "";
    const char *version = "";
    const char *fullTitle = "";
    const char *password = "";
    const char *shortRights = "";
    const char *longRights = "";
};

extern ProgramTexts g_programTexts;
