// What the main panel shows of the connection: the encoder's status text and LED, the parameter
// pages and menu items that depend on a connected encoder, and the system page's protocol fields.
#pragma once

// VANTREL_CONN_STATUS and "Vantrel connected" / "Vantrel not connected".
void ShowConnectionStatus(bool connected);

// Tab pages 0 and 1, and the expert pages while expert mode is on.
void DimParameterPages(int dimmed);

// Everything but Power ON available, as at start-up.
void ShowConnectedMenus();
// Power ON available; file, power off and factory defaults dimmed.
void ShowSwitchedOffMenus();

// The parameter file shown on the system page is forgotten.
void ClearSelectedFile();

// SSI length, coding and output value for an SSI encoder; the BiSS length otherwise.
void ShowProtocolFields();

// The warning and calibration dialogs of a lost encoder are hidden, the main panel made active
// and the pole count put back to its default.
void CloseEncoderDialogs();
