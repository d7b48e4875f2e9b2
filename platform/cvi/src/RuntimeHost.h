// What the model needs of whatever shows it: a place to wait for outside input, and a view
// that follows the model's changes.
#pragma once

#include <cstdint>
#include <optional>

#include "Model.h"

namespace cvi {

// Where the event loop waits. The headless one lets time pass on the clock and runs scheduled
// test input; the Win32 one waits for window messages.
class EventSource {
public:
    virtual ~EventSource() = default;
    // Returns once input may have arrived or the deadline (clock time) has passed; false when
    // nothing could ever arrive (no deadline and no source of input).
    virtual bool WaitForInput(std::optional<std::int64_t> deadlineUs) = 0;
    // Hands input that is already waiting to the run-time, without blocking.
    virtual void PumpInput() = 0;
    // Draws what has changed, without taking input.
    virtual void PumpDrawing() = 0;
};

enum class ChangeKind {
    PanelAdded,
    PanelRemoved,
    PanelState,   // visibility, title, dimming, close box, active control
    ControlState, // value, attributes, list, plots
    MenuBarAdded,
    MenuBarRemoved,
    MenuBarState,
    ActivePanel,
    Cursor,
};

struct ModelChange {
    ChangeKind kind;
    int handle = 0;  // panel or menu bar
    int control = 0; // control id, 0 for the whole panel
};

// A rectangle in the coordinates of a top-level panel's picture.
struct PictureBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class ModelObserver {
public:
    virtual ~ModelObserver() = default;
    virtual void OnModelChange(const ModelChange &change) = 0;
    // The picture of a shown panel as it is on the screen; false when the view has none.
    virtual bool CapturePanel(int panel, Bitmap &bitmap) = 0;
    // Where a control is in the picture of its top-level panel; false when the view has no window for it.
    virtual bool ControlBox(int panel, int control, PictureBox &box) = 0;
};

} // namespace cvi
