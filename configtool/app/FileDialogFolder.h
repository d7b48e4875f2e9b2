// Where a file dialog of the tool opens.
#pragma once

#include <string>

// The user's profile folder for the first dialog of the run, which sets the file-dialog-used flag;
// afterwards a single space, so the run-time opens the folder the operator used last.
std::string FileDialogFolder();
