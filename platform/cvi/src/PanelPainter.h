// Draws panels and controls of the model with GDI: the whole panel into a picture when no
// window shows it, and the owner-drawn controls (LEDs, pictures, graphs) of the Win32 view.
#pragma once

#include <windows.h>

#include <string>

#include "Model.h"
#include "RuntimeHost.h"

namespace cvi {

class Runtime;

COLORREF ToColorRef(int rgb);
// A 32-bit picture of width x height stored top row first.
BITMAPINFO TopDownBitmapInfo(int width, int height);
// What a control shows as its value: the formatted number, the text or the chosen item.
std::string DisplayText(const Control &control);

Bitmap PaintPanelBitmap(const Runtime &runtime, int panel);
// Where PaintPanelBitmap draws a control in the picture of its top-level panel.
bool PaintedControlBox(const Runtime &runtime, int panel, int control, PictureBox &box);
void PaintGraph(HDC dc, const RECT &area, const Control &graph);
void PaintLed(HDC dc, const RECT &area, const Control &led);
void PaintSwatch(HDC dc, const RECT &area, const Control &control);

} // namespace cvi
