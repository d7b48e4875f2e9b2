// The parameter file (*.vantrelcfg): the choices of the system page, each as a list index on a
// "Key:value" line, followed by a legend for the reader. The menu callbacks LOAD_FILE_CB and
// SAVE_FILE_CB are declared with the resource's constants.
#pragma once

#include <array>
#include <optional>

// The value lines of the file, in file order (lines 3 to 12).
enum ParameterFileValue {
    kFileInterface = 0,
    kFileResolution,
    kFileStartset,
    kFileEncoding,
    kFileOutputval,
    kFileBitlength,
    kFileEdgeTime,
    kFileFrameType,
    kFileVhRequest,
    kFileZSignal,
    kFileValueCount,
};

using ParameterFileValues = std::array<int, kFileValueCount>;

// The system page's choices in file order; settings the encoder does not offer count as 0.
ParameterFileValues ShownParameterValues();

// Writes the system page's choices to the file. 0, or 1 after message 13 when the file cannot be
// created or written.
int SaveCfgFile(const char *path);

// Reads and checks the value lines the connected encoder has settings for. 0, or 1 after its
// message (13 not opened, 12 read error, 11 not a parameter file for this encoder); a failed
// load leaves nothing loaded.
int LoadCfgFile(const char *path);

// The value the last successful load took from a line; none for a line it read without using
// (the frame type of an encoder that lacks the choice) or did not read.
std::optional<int> LoadedParameterValue(ParameterFileValue value);
