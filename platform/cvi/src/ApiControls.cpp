// Entry points of controls, ring lists and graphs.
#include "ApiSupport.h"
#include "PlotSeries.h"
#include "ValueRules.h"
#include "cvi/UserInterface.h"

using cvi::Runtime;
using cvi::WithRuntime;

int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void *callbackData)
{
    return WithRuntime([=](Runtime &rt) { return rt.InstallCtrlCallback(panel, control, callback, callbackData); });
}

int SetActiveCtrl(int panel, int control)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetActiveCtrl(panel, control); });
}

int GetActiveCtrl(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetActiveCtrl(panel); });
}

int SetCtrlValNumber(int panel, int control, double value)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetNumber(panel, control, value); });
}

int GetCtrlValNumber(int panel, int control, double *value)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetNumber(panel, control, value); });
}

int SetCtrlVal(int panel, int control, const char *text)
{
    if (!text)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.SetText(panel, control, text); });
}

int GetCtrlVal(int panel, int control, char *text)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetText(panel, control, text); });
}

int SetCtrlAttributeNumber(int panel, int control, int attribute, double value)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetCtrlAttribute(panel, control, attribute, value); });
}

int GetCtrlAttributeNumber(int panel, int control, int attribute, double *value)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetCtrlAttribute(panel, control, attribute, value); });
}

int InsertListItem(int panel, int control, int index, const char *label, int value)
{
    if (!label)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.InsertListItem(panel, control, index, label, value); });
}

int DeleteListItem(int panel, int control, int index, int count)
{
    return WithRuntime([=](Runtime &rt) { return rt.DeleteListItem(panel, control, index, count); });
}

int ClearListCtrl(int panel, int control)
{
    return WithRuntime([=](Runtime &rt) { return rt.ClearList(panel, control); });
}

int GetNumListItems(int panel, int control, int *count)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetListCount(panel, control, count); });
}

namespace {

int AddPlot(int panel, int control, const void *xArray, const void *yArray, int numberOfPoints, int xDataType,
            int yDataType, int plotStyle, int color)
{
    if (numberOfPoints < 0 || (numberOfPoints > 0 && !yArray) || !cvi::IsKnownDataType(yDataType))
        return UIE_INVALID_VALUE;
    if (xArray && !cvi::IsKnownDataType(xDataType))
        return UIE_INVALID_VALUE;
    cvi::PlotSource source;
    source.x = xArray;
    source.y = yArray;
    source.count = static_cast<std::size_t>(numberOfPoints);
    source.xType = xArray ? xDataType : VAL_DOUBLE;
    source.yType = yDataType;
    return WithRuntime([&](Runtime &rt) { return rt.AddPlot(panel, control, source, plotStyle, color & 0xFFFFFF); });
}

} // namespace

int PlotY(int panel, int control, const void *yArray, int numberOfPoints, int yDataType, int plotStyle, int,
          int, int, int color)
{
    return AddPlot(panel, control, nullptr, yArray, numberOfPoints, VAL_DOUBLE, yDataType, plotStyle, color);
}

int PlotXY(int panel, int control, const void *xArray, const void *yArray, int numberOfPoints, int xDataType,
           int yDataType, int plotStyle, int, int, int, int color)
{
    if (!xArray && numberOfPoints > 0)
        return UIE_INVALID_VALUE;
    return AddPlot(panel, control, xArray, yArray, numberOfPoints, xDataType, yDataType, plotStyle, color);
}

int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh)
{
    return WithRuntime([=](Runtime &rt) { return rt.DeletePlot(panel, control, plotHandle, refresh); });
}
