// Closing the main panel, by its close box or when Windows asks the program to end.
#pragma once

// The program's main callback: on EVENT_END_TASK, unless a long operation runs, the main panel's
// close handling. Returns 1, so the run-time never ends the program by itself.
int MAIN_CALLBACK_CB(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
