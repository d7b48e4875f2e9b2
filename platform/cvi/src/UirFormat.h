// The text format of the user-interface resource (described in platform/cvi/README.md):
// panels with their controls and tab pages, and menu bars. Parsing gives templates from which
// the run-time makes live panels; the generator of the constants header reads the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Model.h"

namespace cvi {

// A panel as the resource describes it. Tab pages are panels of their own whose ownerPanel is
// the resource id of the panel that holds the tab control; a tab's TabPage::panel holds the
// resource id of its page.
struct PanelTemplate {
    Panel panel;
    std::string menuBarName;
    bool isPage = false;
};

struct UirDocument {
    std::vector<PanelTemplate> panels;
    std::vector<MenuBar> menuBars;

    const PanelTemplate *FindPanel(int resourceId) const;
    const MenuBar *FindMenuBar(int resourceId) const;
    const MenuBar *FindMenuBar(std::string_view name) const;
};

struct UirParseResult {
    bool ok = false;
    UirDocument document;
    int errorLine = 0;
    std::string error;
};

UirParseResult ParseUir(std::string_view text);

const char *ControlKindKeyword(ControlKind kind);

} // namespace cvi
