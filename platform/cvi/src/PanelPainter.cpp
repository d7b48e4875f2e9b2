#include "PanelPainter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "Labels.h"
#include "PlotRaster.h"
#include "Runtime.h"
#include "ValueRules.h"

namespace cvi {

namespace {

constexpr int kPanelColour = 0xF0F0F0;
constexpr int kFieldColour = 0xFFFFFF;
constexpr int kFrameColour = 0x808080;
constexpr int kDimmedText = 0xA0A0A0;
constexpr int kTabHeader = 24;

// GDI objects selected into a DC for a scope.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), previous_(SelectObject(dc, object)) {}
    ~Selected()
    {
        SelectObject(dc_, previous_);
        DeleteObject(object_);
    }
    Selected(const Selected &) = delete;
    Selected &operator=(const Selected &) = delete;

private:
    HDC dc_;
    HGDIOBJ object_;
    HGDIOBJ previous_;
};

void Fill(HDC dc, const RECT &area, int rgb)
{
    HBRUSH brush = CreateSolidBrush(ToColorRef(rgb));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
}

void Frame(HDC dc, const RECT &area, int rgb)
{
    HBRUSH brush = CreateSolidBrush(ToColorRef(rgb));
    FrameRect(dc, &area, brush);
    DeleteObject(brush);
}

void Text(HDC dc, RECT area, const std::string &text, int rgb, UINT format)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(rgb));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, format | DT_NOPREFIX);
}

RECT Bounds(const Control &control, int x, int y)
{
    return RECT{x + control.left, y + control.top, x + control.left + control.width,
                y + control.top + control.height};
}

void PaintPanelControls(HDC dc, const Runtime &runtime, const Panel &panel, int x, int y);

void PaintTab(HDC dc, const Runtime &runtime, const Control &tab, int x, int y, bool dimmed)
{
    const RECT area = Bounds(tab, x, y);
    RECT body = area;
    body.top += kTabHeader;
    Fill(dc, body, kPanelColour);
    Frame(dc, body, kFrameColour);
    int headerX = area.left;
    for (std::size_t i = 0; i < tab.tab.pages.size(); ++i) {
        const TabPage &page = tab.tab.pages[i];
        if (!page.visible)
            continue;
        const std::string label = PlainLabel(page.label);
        SIZE extent{};
        GetTextExtentPoint32A(dc, label.c_str(), static_cast<int>(label.size()), &extent);
        RECT header{headerX, area.top + (static_cast<int>(i) == tab.tab.active ? 0 : 3),
                    headerX + extent.cx + 16, area.top + kTabHeader};
        Fill(dc, header, static_cast<int>(i) == tab.tab.active ? kPanelColour : 0xE0E0E0);
        Frame(dc, header, kFrameColour);
        Text(dc, header, label, dimmed || page.dimmed ? kDimmedText : 0,
             DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        headerX = header.right;
    }
    if (tab.tab.active < 0 || tab.tab.active >= static_cast<int>(tab.tab.pages.size()))
        return;
    const TabPage &page = tab.tab.pages[tab.tab.active];
    if (const Panel *pagePanel = runtime.FindPanel(page.panel); pagePanel && page.visible)
        PaintPanelControls(dc, runtime, *pagePanel, body.left, body.top);
}

void PaintControl(HDC dc, const Runtime &runtime, const Control &control, int x, int y)
{
    const RECT area = Bounds(control, x, y);
    const int textColour = control.dimmed ? kDimmedText : control.textColor;
    RECT labelArea{area.left, area.top - 16, area.right + 200, area.top};
    switch (control.kind) {
    case ControlKind::Numeric:
    case ControlKind::String:
    case ControlKind::Ring:
        Text(dc, labelArea, PlainLabel(control.label), textColour, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
        Fill(dc, area, control.indicator ? kPanelColour : kFieldColour);
        Frame(dc, area, kFrameColour);
        Text(dc, RECT{area.left + 3, area.top, area.right - 3, area.bottom}, DisplayText(control), textColour,
             (control.kind == ControlKind::Numeric ? DT_RIGHT : DT_LEFT) | DT_VCENTER | DT_SINGLELINE);
        break;
    case ControlKind::TextMessage:
        Text(dc, area, control.text.text, textColour, DT_LEFT | DT_TOP);
        break;
    case ControlKind::CommandButton:
    case ControlKind::ToggleButton:
        Fill(dc, area, control.number.value != 0.0 ? 0xB0B0B0 : 0xDDDDDD);
        DrawEdge(dc, const_cast<RECT *>(&area), control.number.value != 0.0 ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        Text(dc, area, PlainLabel(control.label), textColour, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        break;
    case ControlKind::CheckBox: {
        const RECT box{area.left, area.top + 2, area.left + 13, area.top + 15};
        Fill(dc, box, kFieldColour);
        Frame(dc, box, kFrameColour);
        if (control.number.value != 0.0)
            Text(dc, box, "x", textColour, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        Text(dc, RECT{box.right + 4, area.top, area.right + 200, area.bottom}, PlainLabel(control.label),
             textColour, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        break;
    }
    case ControlKind::Led:
        PaintLed(dc, area, control);
        Text(dc, RECT{area.right + 4, area.top, area.right + 200, area.bottom}, PlainLabel(control.label),
             textColour, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
        break;
    case ControlKind::Picture:
    case ControlKind::Decoration:
        PaintSwatch(dc, area, control);
        break;
    case ControlKind::ProgressBar: {
        Fill(dc, area, kFieldColour);
        RECT done = area;
        done.right = area.left + static_cast<int>(std::lround((area.right - area.left) * control.number.value / 100.0));
        Fill(dc, done, 0x3070D0);
        Frame(dc, area, kFrameColour);
        break;
    }
    case ControlKind::Graph:
        Text(dc, labelArea, PlainLabel(control.label), textColour, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
        PaintGraph(dc, area, control);
        break;
    case ControlKind::Tab:
        PaintTab(dc, runtime, control, x, y, control.dimmed);
        break;
    case ControlKind::Timer:
        break;
    }
}

void PaintPanelControls(HDC dc, const Runtime &runtime, const Panel &panel, int x, int y)
{
    for (const Control &control : panel.controls) {
        if (control.visible)
            PaintControl(dc, runtime, control, x, y);
    }
}

} // namespace

BITMAPINFO TopDownBitmapInfo(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

COLORREF ToColorRef(int rgb)
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

std::string DisplayText(const Control &control)
{
    switch (control.kind) {
    case ControlKind::Numeric: {
        if (control.number.pendingEdit)
            return *control.number.pendingEdit;
        char text[64];
        if (IsIntegerType(control.number.dataType))
            std::snprintf(text, sizeof text, "%.0f", control.number.value);
        else
            std::snprintf(text, sizeof text, "%.*f", std::clamp(control.number.precision, 0, 15),
                          control.number.value);
        return text;
    }
    case ControlKind::String:
    case ControlKind::TextMessage:
        return control.text.text;
    case ControlKind::Ring:
        if (control.list.selected >= 0 && control.list.selected < static_cast<int>(control.list.items.size()))
            return control.list.items[control.list.selected].label;
        return {};
    default:
        return PlainLabel(control.label);
    }
}

void PaintLed(HDC dc, const RECT &area, const Control &led)
{
    const int side = std::min(area.right - area.left, area.bottom - area.top);
    const int colour = led.number.value != 0.0 ? led.color : 0x404040;
    Selected brush(dc, CreateSolidBrush(ToColorRef(led.dimmed ? 0xB0B0B0 : colour)));
    Selected pen(dc, CreatePen(PS_SOLID, 1, ToColorRef(kFrameColour)));
    Ellipse(dc, area.left, area.top, area.left + side, area.top + side);
}

void PaintSwatch(HDC dc, const RECT &area, const Control &control)
{
    if (control.kind == ControlKind::Picture)
        Fill(dc, area, control.dimmed ? 0xD8D8D8 : control.color);
    Frame(dc, area, control.dimmed ? 0xC8C8C8 : kFrameColour);
}

void PaintGraph(HDC dc, const RECT &area, const Control &graph)
{
    Fill(dc, area, kFieldColour);
    Frame(dc, area, kFrameColour);
    const RECT plotArea{area.left + 44, area.top + 6, area.right - 8, area.bottom - 20};
    const int width = plotArea.right - plotArea.left;
    const int height = plotArea.bottom - plotArea.top;
    if (width <= 0 || height <= 0)
        return;
    const PlotMapping mapping = MapPlots(graph.graph.plots, width, height);
    char label[32];
    std::snprintf(label, sizeof label, "%g", mapping.y.maximum);
    Text(dc, RECT{area.left + 2, plotArea.top - 2, plotArea.left - 3, plotArea.top + 14}, label, 0,
         DT_RIGHT | DT_SINGLELINE);
    std::snprintf(label, sizeof label, "%g", mapping.y.minimum);
    Text(dc, RECT{area.left + 2, plotArea.bottom - 14, plotArea.left - 3, plotArea.bottom + 2}, label, 0,
         DT_RIGHT | DT_SINGLELINE);
    std::snprintf(label, sizeof label, "%g", mapping.x.minimum);
    Text(dc, RECT{plotArea.left, plotArea.bottom + 2, plotArea.right, area.bottom}, label, 0, DT_LEFT | DT_SINGLELINE);
    std::snprintf(label, sizeof label, "%g", mapping.x.maximum);
    Text(dc, RECT{plotArea.left, plotArea.bottom + 2, plotArea.right, area.bottom}, label, 0, DT_RIGHT | DT_SINGLELINE);

    // The plot area, its frame included, goes to the device as one picture, whatever the number of points.
    const std::vector<std::uint32_t> pixels = RenderPlots(graph.graph.plots, mapping, 0x404040);
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    SetDIBitsToDevice(dc, plotArea.left, plotArea.top, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
}

bool PaintedControlBox(const Runtime &runtime, int panel, int control, PictureBox &box)
{
    const Panel *owner = runtime.FindPanel(panel);
    if (!owner || control < 1 || control > static_cast<int>(owner->controls.size()))
        return false;
    const Control &target = owner->controls[control - 1];
    int x = 0;
    int y = 0;
    // A page's controls are drawn below its tab's header, within the tab.
    for (const Panel *page = owner; page && page->ownerPanel != 0; page = runtime.FindPanel(page->ownerPanel)) {
        const Panel *above = runtime.FindPanel(page->ownerPanel);
        if (!above)
            return false;
        const Control &tab = above->controls[page->ownerTab - 1];
        x += tab.left;
        y += tab.top + kTabHeader;
    }
    box = PictureBox{x + target.left, y + target.top, target.width, target.height};
    return true;
}

Bitmap PaintPanelBitmap(const Runtime &runtime, int panel)
{
    Bitmap picture;
    const Panel *target = runtime.FindPanel(panel);
    if (!target || target->width <= 0 || target->height <= 0)
        return picture;
    BITMAPINFO info = TopDownBitmapInfo(target->width, target->height);
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dib || !dc || !bits) {
        if (dib)
            DeleteObject(dib);
        if (dc)
            DeleteDC(dc);
        return picture;
    }
    HGDIOBJ previousBitmap = SelectObject(dc, dib);
    HGDIOBJ previousFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    Fill(dc, RECT{0, 0, target->width, target->height}, kPanelColour);
    PaintPanelControls(dc, runtime, *target, 0, 0);
    GdiFlush();
    picture.width = target->width;
    picture.height = target->height;
    const auto *pixels = static_cast<const std::uint32_t *>(bits);
    picture.pixels.assign(pixels, pixels + static_cast<std::size_t>(picture.width) * picture.height);
    for (std::uint32_t &pixel : picture.pixels)
        pixel &= 0xFFFFFF;
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);
    DeleteDC(dc);
    DeleteObject(dib);
    return picture;
}

} // namespace cvi
