// Start-up and clean-up of the tool, the expert password and the tab-page callbacks.
#pragma once

// Loads the panels, reads the settings, applies the language and shows the first panel (or the
// password panel for "-expert"): 0, or -1 when the user interface could not be set up.
int InitializeKelto(int argc, char *argv[], const char *name, const char *version, const char *fullTitle,
                    const char *password, const char *shortRights, const char *longRights);
int CleanUpKelto();

void CheckPassword();
void AboutOff();

int Kelto_TAB0_CB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int Kelto_TAB1_CB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int Kelto_TAB2_CB(int panel, int event, void *callbackData, int eventData1, int eventData2);
int Kelto_TAB3_CB(int panel, int event, void *callbackData, int eventData1, int eventData2);
