// What the parameter pages' modules share: the tab pages, control reads, packing the blocks, and
// which controls show their field's value.
#pragma once

#include <cstdint>

// Panel handles of the tab pages the parameter settings live on.
int SysPage();
int PositionPage();
int ExpertPage();

std::int32_t CtrlInt(int panel, int control);
double CtrlDouble(int panel, int control);
bool CtrlDimmed(int panel, int control);
void SetCtrlDimmed(int panel, int control, bool dimmed);

// Shows a field's value and notes whether the control could take it exactly (a ring without such
// an item, or a numeric whose limits or type cut it, cannot).
void ShowFieldValue(int panel, int control, double value);
// False while the control shows something other than its field's value: the field is then not
// collected from it, so nothing the page cannot show is lost.
bool HoldsFieldValue(int panel, int control);
// The control's value is meant (the operator picked it, or the tool set it): its field is
// collected from it again.
void TakeControlValue(int panel, int control);
// Sets a value the tool derived and collects it from now on.
void SetDerivedValue(int panel, int control, double value);
void ForgetUnshownValues();

// Field values -> image; the chip block with its CRC, shown on the expert pages.
void PackSysBlock();
void PackDorvelBlock();
