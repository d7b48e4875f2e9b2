// Control attributes, values, ring lists and graph plots, as the program sets them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Runtime.h"
#include "ValueRules.h"

namespace cvi {

namespace {

bool HoldsNumber(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Numeric:
    case ControlKind::ToggleButton:
    case ControlKind::CheckBox:
    case ControlKind::Led:
    case ControlKind::ProgressBar:
        return true;
    default:
        return false;
    }
}

bool HoldsText(ControlKind kind)
{
    return kind == ControlKind::String || kind == ControlKind::TextMessage;
}

// The number as the control keeps it: in its value type and, for numerics, within its limits.
double Fit(const Control &control, double value)
{
    const NumberState &number = control.number;
    if (control.kind == ControlKind::ToggleButton || control.kind == ControlKind::CheckBox ||
        control.kind == ControlKind::Led)
        return value != 0.0 ? 1.0 : 0.0;
    double converted = ConvertToDataType(value, number.dataType);
    return std::clamp(converted, number.minimum, number.maximum);
}

} // namespace

int Runtime::SetCtrlAttribute(int panel, int control, int attribute, double value)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    const bool on = value != 0.0;
    switch (attribute) {
    case ATTR_DIMMED:
        target->dimmed = on;
        break;
    case ATTR_VISIBLE:
        if (target->kind == ControlKind::Timer)
            return UIE_INVALID_ATTRIBUTE;
        target->visible = on;
        break;
    case ATTR_TEXT_COLOR:
        target->textColor = static_cast<int>(value) & 0xFFFFFF;
        break;
    case ATTR_LEFT:
        target->left = static_cast<int>(value);
        break;
    case ATTR_TOP:
        target->top = static_cast<int>(value);
        break;
    case ATTR_ENABLED:
        if (target->kind != ControlKind::Timer)
            return UIE_INVALID_ATTRIBUTE;
        if (on && !target->timer.enabled)
            StartTimer(*target);
        target->timer.enabled = on;
        return 0;
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE: {
        if (target->kind != ControlKind::Numeric)
            return UIE_INVALID_ATTRIBUTE;
        NumberState &number = target->number;
        const ValueRange range = DataTypeRange(number.dataType);
        if (!(value >= range.minimum && value <= range.maximum))
            return UIE_INVALID_VALUE;
        const double limit = ConvertToDataType(value, number.dataType);
        const double minimum = attribute == ATTR_MIN_VALUE ? limit : number.minimum;
        const double maximum = attribute == ATTR_MAX_VALUE ? limit : number.maximum;
        if (minimum > maximum)
            return UIE_INVALID_VALUE;
        number.minimum = minimum;
        number.maximum = maximum;
        number.value = std::clamp(number.value, minimum, maximum);
        break;
    }
    case ATTR_GRAPH_REDRAW:
    case ATTR_GRAPH_COPY_DATA:
    case ATTR_GRAPH_PLOT_LAYER:
        if (target->kind != ControlKind::Graph)
            return UIE_INVALID_ATTRIBUTE;
        if (attribute == ATTR_GRAPH_REDRAW)
            target->graph.redraw = on;
        else if (attribute == ATTR_GRAPH_COPY_DATA)
            target->graph.copyData = on;
        else
            target->graph.layer = static_cast<int>(value);
        break;
    case ATTR_STRING_TEXT_LENGTH:
        return UIE_NOT_ALLOWED;
    default:
        return UIE_INVALID_ATTRIBUTE;
    }
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::GetCtrlAttribute(int panel, int control, int attribute, double *value)
{
    int status = 0;
    const Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (!value)
        return UIE_INVALID_VALUE;
    switch (attribute) {
    case ATTR_DIMMED: *value = target->dimmed; break;
    case ATTR_VISIBLE: *value = target->visible; break;
    case ATTR_TEXT_COLOR: *value = target->textColor; break;
    case ATTR_LEFT: *value = target->left; break;
    case ATTR_TOP: *value = target->top; break;
    case ATTR_ENABLED:
        if (target->kind != ControlKind::Timer)
            return UIE_INVALID_ATTRIBUTE;
        *value = target->timer.enabled;
        break;
    case ATTR_MIN_VALUE:
    case ATTR_MAX_VALUE:
        if (target->kind != ControlKind::Numeric)
            return UIE_INVALID_ATTRIBUTE;
        *value = attribute == ATTR_MIN_VALUE ? target->number.minimum : target->number.maximum;
        break;
    case ATTR_STRING_TEXT_LENGTH:
        if (!HoldsText(target->kind))
            return UIE_INVALID_ATTRIBUTE;
        *value = static_cast<double>(target->text.text.size());
        break;
    case ATTR_GRAPH_REDRAW:
    case ATTR_GRAPH_COPY_DATA:
    case ATTR_GRAPH_PLOT_LAYER:
        if (target->kind != ControlKind::Graph)
            return UIE_INVALID_ATTRIBUTE;
        *value = attribute == ATTR_GRAPH_REDRAW      ? target->graph.redraw
                 : attribute == ATTR_GRAPH_COPY_DATA ? target->graph.copyData
                                                     : target->graph.layer;
        break;
    default:
        return UIE_INVALID_ATTRIBUTE;
    }
    return 0;
}

int Runtime::SetNumber(int panel, int control, double value)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind == ControlKind::Ring) {
        auto &items = target->list.items;
        auto match = std::find_if(items.begin(), items.end(),
                                  [&](const ListItem &item) { return item.value == value; });
        if (match == items.end())
            return UIE_INVALID_VALUE;
        target->list.selected = static_cast<int>(match - items.begin());
    } else if (HoldsNumber(target->kind)) {
        if (std::isnan(value))
            return UIE_INVALID_VALUE;
        target->number.value = Fit(*target, value);
        target->number.pendingEdit.reset();
    } else {
        return UIE_TYPE_MISMATCH;
    }
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::GetNumber(int panel, int control, double *value)
{
    int status = 0;
    const Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (!value)
        return UIE_INVALID_VALUE;
    if (target->kind == ControlKind::Ring) {
        if (target->list.selected < 0)
            return UIE_INVALID_INDEX;
        *value = target->list.items[target->list.selected].value;
        return 0;
    }
    if (!HoldsNumber(target->kind))
        return UIE_TYPE_MISMATCH;
    *value = target->number.value;
    return 0;
}

int Runtime::SetText(int panel, int control, std::string_view text)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (!HoldsText(target->kind))
        return UIE_TYPE_MISMATCH;
    std::string value(text);
    if (target->kind == ControlKind::String && target->text.maxLength > 0 &&
        static_cast<int>(value.size()) > target->text.maxLength)
        value.resize(target->text.maxLength);
    target->text.text = std::move(value);
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::GetText(int panel, int control, char *text)
{
    int status = 0;
    const Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (!text)
        return UIE_INVALID_VALUE;
    if (!HoldsText(target->kind))
        return UIE_TYPE_MISMATCH;
    std::memcpy(text, target->text.text.c_str(), target->text.text.size() + 1);
    return 0;
}

int Runtime::InsertListItem(int panel, int control, int index, std::string_view label, int value)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Ring)
        return UIE_INVALID_CONTROL;
    ListState &list = target->list;
    const int count = static_cast<int>(list.items.size());
    if (index == -1)
        index = count;
    if (index < 0 || index > count)
        return UIE_INVALID_INDEX;
    list.items.insert(list.items.begin() + index, ListItem{std::string(label), value});
    if (list.selected < 0)
        list.selected = 0;
    else if (index <= list.selected)
        ++list.selected;
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::DeleteListItem(int panel, int control, int index, int count)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Ring)
        return UIE_INVALID_CONTROL;
    ListState &list = target->list;
    const int size = static_cast<int>(list.items.size());
    if (index < 0 || index >= size || count == 0 || count < -1)
        return UIE_INVALID_INDEX;
    const int end = count == -1 ? size : std::min(size, index + count);
    list.items.erase(list.items.begin() + index, list.items.begin() + end);
    if (list.selected >= end)
        list.selected -= end - index;
    else if (list.selected >= index)
        list.selected = list.items.empty() ? -1 : std::min(index, static_cast<int>(list.items.size()) - 1);
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::ClearList(int panel, int control)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Ring)
        return UIE_INVALID_CONTROL;
    target->list.items.clear();
    target->list.selected = -1;
    Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

int Runtime::GetListCount(int panel, int control, int *count)
{
    int status = 0;
    const Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Ring)
        return UIE_INVALID_CONTROL;
    if (!count)
        return UIE_INVALID_VALUE;
    *count = static_cast<int>(target->list.items.size());
    return 0;
}

int Runtime::AddPlot(int panel, int control, const PlotSource &source, int style, int color)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Graph)
        return UIE_INVALID_CONTROL;
    GraphState &graph = target->graph;
    std::vector<std::shared_ptr<PlotSeries>> candidates;
    for (const Plot &existing : graph.plots)
        candidates.push_back(existing.series);
    Plot plot;
    plot.series = SeriesForPlot(candidates, source);
    plot.count = source.count;
    plot.style = style;
    plot.color = color;
    plot.handle = graph.nextHandle++;
    plot.layer = graph.layer;
    graph.plots.push_back(std::move(plot));
    if (graph.plots.size() > GraphState::kMaxPlots)
        graph.plots.erase(graph.plots.begin());
    if (graph.redraw)
        Notify(ChangeKind::ControlState, panel, control);
    return graph.plots.back().handle;
}

int Runtime::DeletePlot(int panel, int control, int plotHandle, int refresh)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind != ControlKind::Graph)
        return UIE_INVALID_CONTROL;
    auto &plots = target->graph.plots;
    if (plotHandle == -1) {
        plots.clear();
    } else {
        auto found = std::find_if(plots.begin(), plots.end(),
                                  [plotHandle](const Plot &plot) { return plot.handle == plotHandle; });
        // A plot dropped for room is gone already; deleting it again is no fault.
        if (found != plots.end())
            plots.erase(found);
        else if (plotHandle < 1 || plotHandle >= target->graph.nextHandle)
            return UIE_INVALID_VALUE;
    }
    if (refresh && target->graph.redraw)
        Notify(ChangeKind::ControlState, panel, control);
    return 0;
}

} // namespace cvi
