// Applying language files to panels and menu bars.
#include <string>

#include "ApiSupport.h"
#include "LanguageFile.h"
#include "cvi/Localization.h"

using cvi::Runtime;
using cvi::WithRuntime;

namespace {

void ApplyToPanel(Runtime &rt, const cvi::LanguageFile &file, int handle)
{
    cvi::Panel *panel = rt.FindPanel(handle);
    if (!panel)
        return;
    if (const auto *texts = file.Section(panel->name)) {
        for (const auto &[key, text] : *texts) {
            if (key == "title") {
                panel->title = text;
                continue;
            }
            const std::size_t dot = key.find('.');
            const std::string kind = key.substr(0, dot);
            const std::string rest = dot == std::string::npos ? std::string() : key.substr(dot + 1);
            if (kind == "control") {
                for (cvi::Control &control : panel->controls) {
                    if (control.name != rest)
                        continue;
                    if (control.kind == cvi::ControlKind::TextMessage)
                        control.text.text = text;
                    else
                        control.label = text;
                    rt.Notify(cvi::ChangeKind::ControlState, handle, control.id);
                }
            } else if (kind == "page") {
                const std::size_t split = rest.rfind('.');
                if (split == std::string::npos)
                    continue;
                const std::string tabName = rest.substr(0, split);
                const std::string index = rest.substr(split + 1);
                for (cvi::Control &control : panel->controls) {
                    if (control.kind != cvi::ControlKind::Tab || control.name != tabName)
                        continue;
                    for (std::size_t i = 0; i < control.tab.pages.size(); ++i) {
                        if (std::to_string(i) == index)
                            control.tab.pages[i].label = text;
                    }
                    rt.Notify(cvi::ChangeKind::ControlState, handle, control.id);
                }
            }
        }
        rt.Notify(cvi::ChangeKind::PanelState, handle);
    }
    std::vector<int> pages;
    for (const cvi::Control &control : panel->controls) {
        for (const cvi::TabPage &page : control.tab.pages)
            pages.push_back(page.panel);
    }
    for (int page : pages)
        ApplyToPanel(rt, file, page);
}

} // namespace

int LocalizePanel(int panel, const char *languageFile)
{
    if (!languageFile)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) {
        if (!rt.FindPanel(panel))
            return static_cast<int>(UIE_INVALID_PANEL);
        auto file = cvi::ReadLanguageFile(languageFile);
        if (!file)
            return static_cast<int>(UIE_FILE);
        ApplyToPanel(rt, *file, panel);
        return 0;
    });
}

int LocalizeMenuBar(int menuBar, const char *languageFile)
{
    if (!languageFile)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) {
        cvi::MenuBar *bar = rt.FindMenuBar(menuBar);
        if (!bar)
            return static_cast<int>(UIE_INVALID_MENU);
        auto file = cvi::ReadLanguageFile(languageFile);
        if (!file)
            return static_cast<int>(UIE_FILE);
        if (const auto *texts = file->Section(bar->name)) {
            for (const auto &[key, text] : *texts) {
                if (key.rfind("entry.", 0) != 0)
                    continue;
                for (cvi::MenuEntry &entry : bar->entries) {
                    if (entry.name == key.substr(6))
                        entry.label = text;
                }
            }
            rt.Notify(cvi::ChangeKind::MenuBarState, menuBar);
        }
        return 0;
    });
}
