// What the tool shows about the connected encoder: its identification from the product
// information, its work time, whether its parameters are as delivered, and linear or rotary use.
#pragma once

// In this order: firmware, serial number parts, type code and order code (SetProdinfoField), the
// material number and parameter version on the expert page (SetOtherParamField), then the work
// time, the parameter state and the application type.
void SetAdditionalInfoFields();

// One information field into its main-panel control (FWVER also sets the firmware number); any
// other control writes nothing.
void SetProdinfoField(int control);
// One information field into its control of the expert page (MATNUM, MAINVER, SUBVER); any other
// control writes nothing.
void SetOtherParamField(int control);

// The first work-time counter, in hours.
void SetWrktimeCounterFields();
// "ORIGINAL" while the tool's modification indicator is erased or has bit 0 set, else "MODIFIED".
void SetParamterModificationState();
// "Linear", or "Rotary (n poles)" from the pole count of the ring-parameter fields, in the
// application-type slot of the main panel.
void SetVantrelApplicationType();
