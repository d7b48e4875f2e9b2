#include "UirFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

#include "TextTokens.h"
#include "ValueRules.h"

namespace cvi {

namespace {

struct KindKeyword {
    ControlKind kind;
    const char *keyword;
};

constexpr KindKeyword kKinds[] = {
    {ControlKind::Numeric, "numeric"},       {ControlKind::String, "string"},
    {ControlKind::TextMessage, "text"},      {ControlKind::Ring, "ring"},
    {ControlKind::CommandButton, "button"},  {ControlKind::ToggleButton, "toggle"},
    {ControlKind::CheckBox, "checkbox"},     {ControlKind::Led, "led"},
    {ControlKind::Picture, "picture"},       {ControlKind::Decoration, "deco"},
    {ControlKind::Timer, "timer"},           {ControlKind::Tab, "tab"},
    {ControlKind::Graph, "graph"},           {ControlKind::ProgressBar, "progress"},
};

std::optional<ControlKind> KindFromKeyword(std::string_view word)
{
    for (const KindKeyword &entry : kKinds) {
        if (word == entry.keyword)
            return entry.kind;
    }
    return std::nullopt;
}

bool IsNameCharacters(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    });
}

bool IsIdentifier(std::string_view name)
{
    return IsNameCharacters(name) && !std::isdigit(static_cast<unsigned char>(name.front()));
}

class ParseFailure {
public:
    explicit ParseFailure(std::string message) : message_(std::move(message)) {}
    const std::string &Message() const { return message_; }

private:
    std::string message_;
};

// One line of tokens: the keyword, positional values and key=value pairs (each used once).
class LineArgs {
public:
    explicit LineArgs(std::vector<TextToken> tokens) : tokens_(std::move(tokens))
    {
        for (std::size_t i = 0; i < tokens_.size(); ++i) {
            if (tokens_[i].key.empty()) {
                positional_.push_back(i);
            } else {
                if (!keys_.emplace(tokens_[i].key, i).second)
                    throw ParseFailure("\"" + tokens_[i].key + "\" given twice");
            }
        }
    }

    const std::string &Keyword() const { return tokens_[positional_.front()].value; }
    std::size_t PositionalCount() const { return positional_.size(); }
    const TextToken &Positional(std::size_t i) const { return tokens_[positional_.at(i)]; }

    std::string Name(std::size_t i) const
    {
        return CheckedName(i, IsIdentifier);
    }

    // A control's constant always starts with its panel's name, so its own may begin with a digit.
    std::string ControlName(std::size_t i) const
    {
        return CheckedName(i, IsNameCharacters);
    }

    std::string CheckedName(std::size_t i, bool (*valid)(std::string_view)) const
    {
        if (i >= positional_.size())
            throw ParseFailure(Keyword() + " needs a name");
        const std::string &name = Positional(i).value;
        if (!valid(name) || Positional(i).quoted)
            throw ParseFailure("\"" + name + "\" is not a valid name");
        return name;
    }

    long long Integer(std::size_t i, const char *what) const
    {
        if (i >= positional_.size())
            throw ParseFailure(Keyword() + " needs " + what);
        auto value = ParseInteger(Positional(i).value);
        if (!value)
            throw ParseFailure(std::string(what) + " is not a number");
        return *value;
    }

    std::string Label(std::size_t i) const
    {
        if (i >= positional_.size())
            return {};
        if (!Positional(i).quoted)
            throw ParseFailure("a label must be quoted");
        return Positional(i).value;
    }

    std::optional<std::string> Take(const std::string &key)
    {
        auto found = keys_.find(key);
        if (found == keys_.end())
            return std::nullopt;
        std::string value = tokens_[found->second].value;
        keys_.erase(found);
        return value;
    }

    template <typename T>
    void TakeInt(const std::string &key, T &target)
    {
        if (auto text = Take(key)) {
            auto value = ParseInteger(*text);
            if (!value)
                throw ParseFailure(key + " is not a number");
            target = static_cast<T>(*value);
        }
    }

    void TakeFlag(const std::string &key, bool &target)
    {
        if (auto text = Take(key)) {
            auto value = ParseInteger(*text);
            if (!value || (*value != 0 && *value != 1))
                throw ParseFailure(key + " must be 0 or 1");
            target = *value != 0;
        }
    }

    std::optional<double> TakeReal(const std::string &key)
    {
        auto text = Take(key);
        if (!text)
            return std::nullopt;
        auto value = ParseReal(*text);
        if (!value)
            throw ParseFailure(key + " is not a number");
        return value;
    }

    void RequireAllUsed(std::size_t positionalUsed) const
    {
        if (!keys_.empty())
            throw ParseFailure("unknown setting \"" + keys_.begin()->first + "\"");
        if (positional_.size() > positionalUsed)
            throw ParseFailure("unexpected \"" + Positional(positionalUsed).value + "\"");
    }

private:
    std::vector<TextToken> tokens_;
    std::vector<std::size_t> positional_;
    std::map<std::string, std::size_t> keys_;
};

enum class Context { Top, MenuBar, Menu, Panel, Tab, Ring };

struct Frame {
    explicit Frame(Context frameContext) : context(frameContext) {}

    Context context;
    std::size_t panelIndex = 0; // Panel, Tab, Ring
    int controlIndex = -1;      // Tab, Ring
    int menuEntry = 0;          // Menu: id of the menu or submenu
    std::optional<double> ringValue;
};

class UirParser {
public:
    UirParseResult Parse(std::string_view text)
    {
        UirParseResult result;
        std::size_t pos = 0;
        int lineNumber = 0;
        try {
            while (pos <= text.size()) {
                std::size_t end = text.find('\n', pos);
                if (end == std::string_view::npos)
                    end = text.size();
                ++lineNumber;
                ParseLine(text.substr(pos, end - pos));
                pos = end + 1;
            }
            if (stack_.size() != 1)
                throw ParseFailure("missing \"end\"");
        } catch (const ParseFailure &failure) {
            result.errorLine = lineNumber;
            result.error = failure.Message();
            return result;
        }
        result.ok = true;
        result.document = std::move(document_);
        return result;
    }

private:
    void ParseLine(std::string_view line)
    {
        std::string error;
        auto tokens = TokenizeLine(line, error);
        if (!tokens)
            throw ParseFailure(error);
        if (tokens->empty())
            return;
        if (!tokens->front().key.empty() || tokens->front().quoted)
            throw ParseFailure("a line starts with a keyword");
        LineArgs args(std::move(*tokens));
        if (args.Keyword() == "end") {
            args.RequireAllUsed(1);
            End();
            return;
        }
        switch (stack_.back().context) {
        case Context::Top: TopLine(args); break;
        case Context::MenuBar: MenuBarLine(args); break;
        case Context::Menu: MenuLine(args); break;
        case Context::Panel: ControlLine(args); break;
        case Context::Tab: PageLine(args); break;
        case Context::Ring: RingItemLine(args); break;
        }
    }

    void End()
    {
        if (stack_.size() == 1)
            throw ParseFailure("\"end\" without a block");
        Frame frame = stack_.back();
        stack_.pop_back();
        if (frame.context == Context::Ring) {
            Control &ring = CurrentPanel(frame).controls[frame.controlIndex];
            if (frame.ringValue) {
                auto match = std::find_if(ring.list.items.begin(), ring.list.items.end(),
                                          [&](const ListItem &item) { return item.value == *frame.ringValue; });
                if (match == ring.list.items.end())
                    throw ParseFailure("ring " + ring.name + " has no item with its value");
                ring.list.selected = static_cast<int>(match - ring.list.items.begin());
            } else {
                ring.list.selected = ring.list.items.empty() ? -1 : 0;
            }
        }
        if (frame.context == Context::Tab) {
            Control &tab = CurrentPanel(frame).controls[frame.controlIndex];
            if (tab.tab.pages.empty())
                throw ParseFailure("tab " + tab.name + " has no page");
            if (tab.tab.active < 0 || tab.tab.active >= static_cast<int>(tab.tab.pages.size()))
                throw ParseFailure("tab " + tab.name + " has no page of its active index");
        }
    }

    Panel &CurrentPanel(const Frame &frame) { return document_.panels[frame.panelIndex].panel; }

    void TopLine(LineArgs &args)
    {
        if (args.Keyword() == "menubar") {
            MenuBar bar;
            bar.name = args.Name(1);
            bar.resourceId = static_cast<int>(args.Integer(2, "a resource id"));
            args.RequireAllUsed(3);
            if (!names_.insert(bar.name).second)
                throw ParseFailure("\"" + bar.name + "\" is declared twice");
            if (document_.FindMenuBar(bar.resourceId))
                throw ParseFailure("menu bar id " + std::to_string(bar.resourceId) + " is taken");
            document_.menuBars.push_back(std::move(bar));
            stack_.push_back(Frame(Context::MenuBar));
            return;
        }
        if (args.Keyword() == "panel") {
            PanelTemplate entry;
            entry.panel.name = args.Name(1);
            entry.panel.resourceId = static_cast<int>(args.Integer(2, "a resource id"));
            PanelSettings(args, entry);
            if (auto menuBar = args.Take("menubar")) {
                if (!document_.FindMenuBar(*menuBar))
                    throw ParseFailure("menu bar " + *menuBar + " is not declared before the panel");
                entry.menuBarName = *menuBar;
            }
            args.RequireAllUsed(3);
            AddPanel(std::move(entry));
            return;
        }
        throw ParseFailure("\"" + args.Keyword() + "\" is not a menubar or a panel");
    }

    void PanelSettings(LineArgs &args, PanelTemplate &entry)
    {
        Panel &panel = entry.panel;
        if (auto title = args.Take("title"))
            panel.title = *title;
        args.TakeInt("left", panel.left);
        args.TakeInt("top", panel.top);
        args.TakeInt("width", panel.width);
        args.TakeInt("height", panel.height);
        args.TakeFlag("closeenabled", panel.closeEnabled);
        if (auto callback = args.Take("callback"))
            panel.callbackName = *callback;
        if (panel.width < 0 || panel.height < 0)
            throw ParseFailure("a panel size cannot be negative");
    }

    void AddPanel(PanelTemplate entry)
    {
        if (!names_.insert(entry.panel.name).second)
            throw ParseFailure("\"" + entry.panel.name + "\" is declared twice");
        if (document_.FindPanel(entry.panel.resourceId))
            throw ParseFailure("panel id " + std::to_string(entry.panel.resourceId) + " is taken");
        document_.panels.push_back(std::move(entry));
        Frame frame(Context::Panel);
        frame.panelIndex = document_.panels.size() - 1;
        stack_.push_back(frame);
    }

    MenuBar &CurrentMenuBar() { return document_.menuBars.back(); }

    MenuEntry &AddMenuEntry(LineArgs &args, MenuEntryKind kind, int parent)
    {
        MenuBar &bar = CurrentMenuBar();
        MenuEntry entry;
        entry.name = args.Name(1);
        entry.kind = kind;
        entry.parent = parent;
        entry.id = static_cast<int>(bar.entries.size()) + 2;
        for (const MenuEntry &other : bar.entries) {
            if (other.name == entry.name)
                throw ParseFailure("\"" + entry.name + "\" is declared twice in " + bar.name);
        }
        bar.entries.push_back(std::move(entry));
        return bar.entries.back();
    }

    void MenuBarLine(LineArgs &args)
    {
        if (args.Keyword() != "menu")
            throw ParseFailure("a menu bar holds menus");
        MenuEntry &menu = AddMenuEntry(args, MenuEntryKind::Menu, 0);
        menu.label = args.Label(2);
        args.TakeFlag("dimmed", menu.dimmed);
        args.RequireAllUsed(3);
        Frame frame(Context::Menu);
        frame.menuEntry = menu.id;
        stack_.push_back(frame);
    }

    void MenuLine(LineArgs &args)
    {
        const int parent = stack_.back().menuEntry;
        if (args.Keyword() == "item") {
            MenuEntry &item = AddMenuEntry(args, MenuEntryKind::Item, parent);
            item.label = args.Label(2);
            if (auto shortcut = args.Take("shortcut"))
                item.shortcut = *shortcut;
            if (auto callback = args.Take("callback"))
                item.callbackName = *callback;
            args.TakeFlag("dimmed", item.dimmed);
            args.TakeFlag("checked", item.checked);
            args.RequireAllUsed(3);
            return;
        }
        if (args.Keyword() == "separator") {
            AddMenuEntry(args, MenuEntryKind::Separator, parent);
            args.RequireAllUsed(2);
            return;
        }
        if (args.Keyword() == "submenu") {
            // A submenu opens from the item written just before it.
            const MenuBar &bar = CurrentMenuBar();
            const MenuEntry *owner = bar.entries.empty() ? nullptr : &bar.entries.back();
            if (!owner || owner->kind != MenuEntryKind::Item || owner->parent != parent ||
                !owner->callbackName.empty())
                throw ParseFailure("a submenu follows the item (without callback) it opens from");
            const int ownerId = owner->id;
            MenuEntry &submenu = AddMenuEntry(args, MenuEntryKind::Submenu, ownerId);
            args.RequireAllUsed(2);
            Frame frame(Context::Menu);
            frame.menuEntry = submenu.id;
            stack_.push_back(frame);
            return;
        }
        throw ParseFailure("a menu holds items, separators and submenus");
    }

    void PageLine(LineArgs &args)
    {
        if (args.Keyword() != "page")
            throw ParseFailure("a tab holds pages");
        const Frame tabFrame = stack_.back();
        PanelTemplate entry;
        entry.isPage = true;
        entry.panel.name = args.Name(1);
        entry.panel.resourceId = static_cast<int>(args.Integer(2, "a resource id"));
        const std::string label = args.Label(3);
        PanelSettings(args, entry);
        args.RequireAllUsed(4);
        Panel &owner = CurrentPanel(tabFrame);
        Control &tab = owner.controls[tabFrame.controlIndex];
        entry.panel.ownerPanel = owner.resourceId;
        entry.panel.ownerTab = tab.id;
        entry.panel.pageIndex = static_cast<int>(tab.tab.pages.size());
        if (entry.panel.width == 0)
            entry.panel.width = tab.width;
        if (entry.panel.height == 0)
            entry.panel.height = std::max(0, tab.height - kTabHeaderHeight);
        tab.tab.pages.push_back({label, entry.panel.resourceId});
        AddPanel(std::move(entry));
    }

    void RingItemLine(LineArgs &args)
    {
        if (args.Keyword() != "item")
            throw ParseFailure("a ring holds items");
        const Frame &frame = stack_.back();
        Control &ring = CurrentPanel(frame).controls[frame.controlIndex];
        ListItem item;
        item.value = static_cast<int>(args.Integer(1, "a value"));
        item.label = args.Label(2);
        args.RequireAllUsed(3);
        ring.list.items.push_back(std::move(item));
    }

    void ControlLine(LineArgs &args)
    {
        auto kind = KindFromKeyword(args.Keyword());
        if (!kind)
            throw ParseFailure("\"" + args.Keyword() + "\" is not a kind of control");
        const Frame frame = stack_.back();
        Panel &panel = CurrentPanel(frame);
        Control control;
        control.kind = *kind;
        control.name = args.ControlName(1);
        control.id = static_cast<int>(panel.controls.size()) + 1;
        for (const Control &other : panel.controls) {
            if (other.name == control.name)
                throw ParseFailure("\"" + control.name + "\" is declared twice in " + panel.name);
        }
        CommonSettings(args, control);
        KindSettings(args, control);
        args.RequireAllUsed(2);
        ApplyDefaultSize(control);
        panel.controls.push_back(std::move(control));
        if (*kind == ControlKind::Tab || *kind == ControlKind::Ring) {
            Frame inner(*kind == ControlKind::Tab ? Context::Tab : Context::Ring);
            inner.panelIndex = frame.panelIndex;
            inner.controlIndex = static_cast<int>(panel.controls.size()) - 1;
            inner.ringValue = pendingRingValue_;
            stack_.push_back(inner);
        }
    }

    void CommonSettings(LineArgs &args, Control &control)
    {
        args.TakeInt("left", control.left);
        args.TakeInt("top", control.top);
        args.TakeInt("width", control.width);
        args.TakeInt("height", control.height);
        if (control.width < 0 || control.height < 0)
            throw ParseFailure("a control size cannot be negative");
        if (auto label = args.Take("label"))
            control.label = *label;
        if (auto callback = args.Take("callback"))
            control.callbackName = *callback;
        args.TakeFlag("dimmed", control.dimmed);
        args.TakeFlag("visible", control.visible);
        args.TakeFlag("indicator", control.indicator);
        args.TakeInt("textcolor", control.textColor);
        args.TakeInt("color", control.color);
    }

    void KindSettings(LineArgs &args, Control &control)
    {
        pendingRingValue_.reset();
        NumberState &number = control.number;
        switch (control.kind) {
        case ControlKind::Numeric: {
            if (auto type = args.Take("type")) {
                auto dataType = DataTypeFromKeyword(*type);
                if (!dataType)
                    throw ParseFailure("\"" + *type + "\" is not a value type");
                number.dataType = *dataType;
            }
            const ValueRange range = DataTypeRange(number.dataType);
            number.minimum = args.TakeReal("min").value_or(range.minimum);
            number.maximum = args.TakeReal("max").value_or(range.maximum);
            number.increment = args.TakeReal("inc").value_or(1.0);
            args.TakeInt("precision", number.precision);
            if (number.minimum > number.maximum || number.minimum < range.minimum ||
                number.maximum > range.maximum)
                throw ParseFailure("the limits do not fit the value type");
            number.value = args.TakeReal("value").value_or(std::max(0.0, number.minimum));
            number.value = ConvertToDataType(number.value, number.dataType);
            if (number.value < number.minimum || number.value > number.maximum)
                throw ParseFailure("the value lies outside the limits");
            break;
        }
        case ControlKind::String:
            if (auto value = args.Take("value"))
                control.text.text = *value;
            args.TakeInt("maxlen", control.text.maxLength);
            if (control.text.maxLength < 0)
                throw ParseFailure("maxlen cannot be negative");
            break;
        case ControlKind::TextMessage:
            if (auto value = args.Take("text"))
                control.text.text = *value;
            break;
        case ControlKind::Ring:
            pendingRingValue_ = args.TakeReal("value");
            break;
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
        case ControlKind::Led:
            number.minimum = 0.0;
            number.maximum = 1.0;
            number.value = args.TakeReal("value").value_or(0.0);
            if (number.value != 0.0 && number.value != 1.0)
                throw ParseFailure("the value must be 0 or 1");
            break;
        case ControlKind::ProgressBar:
            number.minimum = 0.0;
            number.maximum = 100.0;
            number.value = args.TakeReal("value").value_or(0.0);
            if (number.value < 0.0 || number.value > 100.0)
                throw ParseFailure("a progress value lies in 0-100");
            break;
        case ControlKind::Timer: {
            const double interval = args.TakeReal("interval").value_or(1.0);
            if (!(interval > 0.0) || interval > 1e6)
                throw ParseFailure("a timer interval is positive");
            control.timer.intervalUs = std::max<std::int64_t>(1000, std::llround(interval * 1e6));
            args.TakeFlag("enabled", control.timer.enabled);
            control.visible = false;
            break;
        }
        case ControlKind::Tab:
            args.TakeInt("active", control.tab.active);
            break;
        default:
            break;
        }
    }

    static void ApplyDefaultSize(Control &control)
    {
        struct Size {
            int width;
            int height;
        };
        Size size{100, 20};
        switch (control.kind) {
        case ControlKind::CommandButton:
        case ControlKind::ToggleButton: size = {90, 24}; break;
        case ControlKind::CheckBox: size = {120, 18}; break;
        case ControlKind::Led: size = {16, 16}; break;
        case ControlKind::TextMessage: size = {200, 16}; break;
        case ControlKind::Graph: size = {300, 200}; break;
        case ControlKind::ProgressBar: size = {200, 16}; break;
        case ControlKind::Tab: size = {400, 300}; break;
        case ControlKind::Picture:
        case ControlKind::Decoration: size = {32, 32}; break;
        default: break;
        }
        if (control.width == 0)
            control.width = size.width;
        if (control.height == 0)
            control.height = size.height;
    }

    static constexpr int kTabHeaderHeight = 24;

    UirDocument document_;
    std::vector<Frame> stack_{Frame(Context::Top)};
    std::set<std::string> names_;
    std::optional<double> pendingRingValue_;
};

} // namespace

const PanelTemplate *UirDocument::FindPanel(int resourceId) const
{
    for (const PanelTemplate &entry : panels) {
        if (entry.panel.resourceId == resourceId)
            return &entry;
    }
    return nullptr;
}

const MenuBar *UirDocument::FindMenuBar(int resourceId) const
{
    for (const MenuBar &bar : menuBars) {
        if (bar.resourceId == resourceId)
            return &bar;
    }
    return nullptr;
}

const MenuBar *UirDocument::FindMenuBar(std::string_view name) const
{
    for (const MenuBar &bar : menuBars) {
        if (bar.name == name)
            return &bar;
    }
    return nullptr;
}

UirParseResult ParseUir(std::string_view text)
{
    return UirParser().Parse(text);
}

const char *ControlKindKeyword(ControlKind kind)
{
    for (const KindKeyword &entry : kKinds) {
        if (entry.kind == kind)
            return entry.keyword;
    }
    return "deco";
}

} // namespace cvi
