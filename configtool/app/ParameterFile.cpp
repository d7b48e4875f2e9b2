// The parameter file both ways: the system page's choices written as "Key:value" lines with a
// legend, and the value lines read back and checked against what the connected encoder offers.
#include "ParameterFile.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "ParameterPageControls.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/Files.h"

namespace {

constexpr int kTitleError = 0;
constexpr int kMsgWrongFile = 11;
constexpr int kMsgReadError = 12;
constexpr int kMsgFileOperation = 13;

constexpr char kHeader[] = "Vantrel Configuration Tool Parameter File";
constexpr int kMaxLineChars = 9999;

constexpr char kSarvikInterface = '2';
constexpr char kQuadratureInterface = '3';

struct ValueLine {
    const char *key;
    char highest; // '0' to highest are accepted; the interface's values depend on the variant
};

constexpr std::array<ValueLine, kFileValueCount> kValueLines{{
    {"Interface", '1'},
    {"Resolution", '4'},
    {"Startset", '1'},
    {"Encoding", '1'},
    {"Outputval", '1'},
    {"Bitlength", '3'},
    {"Min. Edge Time", '8'},
    {"Frametype", '1'},
    {"VH request", '1'},
    {"Z signal", '1'},
}};

// Windows-1252: 0xB5 is the micro sign.
constexpr const char *kInterfaceLegendSarvik = "Interface [2 = SARVIK]";
constexpr const char *kInterfaceLegendQuadrature = "Interface [3 = ABS. QUAD.]";
constexpr const char *kInterfaceLegendStandard = "Interface [0 = BISS, 1 = SSI]";
constexpr const char *kLegend[] = {
    "Resolution [0 = 0.976 \xB5m, 1 = 1 \xB5m, 2 = 2 \xB5m, 3 = 5 \xB5m, 4 = 10 \xB5m]",
    "Startset [0 = NORMAL, 1 = ENHANCED]",
    "Encoding(SSI) [0 = BINARY, 1 = GRAY]",
    "Outputval(SSI) [0 = RISING, 1 = FALLING]",
    "Bit length(SSI) [0 = 24 bit, 1 = 25 bit, 2 = 26 bit, 3 = 32 bit]",
    "Min. Edge Time [0 = 0.11 \xB5s, 1 = 0.26 \xB5s, 2 = 0.42 \xB5s, 3 = 0.94 \xB5s, 4 = 1.8 \xB5s, "
    "5 = 3.5 \xB5s, 6 = 7 \xB5s, 7 = 14 \xB5s, 8 = 21 \xB5s]",
    "Frametype [0 = DIAG., 1 = STANDARD]",
};
constexpr const char *kQuadratureLegend[] = {
    "VH request [0 = DISABLED, 1 = ENABLED]",
    "Z signal [0 = STANDARD, 1 = BUSY]",
};

std::array<std::optional<int>, kFileValueCount> g_loadedValues;

// A file of the run-time, closed on every way out.
class OpenedFile {
public:
    explicit OpenedFile(int handle) : handle_(handle) {}
    ~OpenedFile()
    {
        if (IsOpen())
            CloseFile(handle_);
    }
    OpenedFile(const OpenedFile &) = delete;
    OpenedFile &operator=(const OpenedFile &) = delete;

    bool IsOpen() const { return handle_ > 0; }
    int Handle() const { return handle_; }

private:
    int handle_;
};

bool VariantInterface()
{
    return g_sarvikInterface || g_absoluteQuadrature;
}

bool WriteFileLines(int file, const ParameterFileValues &values)
{
    bool written = true;
    auto line = [&](const char *text) { written = WriteLine(file, text, -1) >= 0 && written; };
    const int valueLines = g_absoluteQuadrature ? kFileValueCount : kFileVhRequest;

    line(kHeader);
    line("");
    for (int index = 0; index < valueLines; ++index) {
        char text[64];
        std::snprintf(text, sizeof text, "%s:%d", kValueLines[index].key, values[index]);
        line(text);
    }
    line("");
    line("Options:");
    line("");
    line(g_sarvikInterface      ? kInterfaceLegendSarvik
         : g_absoluteQuadrature ? kInterfaceLegendQuadrature
                                : kInterfaceLegendStandard);
    for (const char *legend : kLegend)
        line(legend);
    if (g_absoluteQuadrature) {
        for (const char *legend : kQuadratureLegend)
            line(legend);
    }
    line("");
    line("Other comments:");
    return written;
}

// The frame-type line is in every file; it is only taken when the encoder has the choice. The
// quadrature lines follow it, so reading them means reading it.
int ValueLinesToRead()
{
    if (g_absoluteQuadrature)
        return kFileValueCount;
    return g_firmware.frameTypeCapable ? kFileFrameType + 1 : kFileFrameType;
}

bool ValueLineChecked(int index)
{
    return index != kFileFrameType || g_firmware.frameTypeCapable;
}

bool Accepted(int index, std::string_view value)
{
    if (value.size() != 1)
        return false;
    const char digit = value.front();
    if (index == kFileInterface) {
        if (g_sarvikInterface)
            return digit == kSarvikInterface;
        if (g_absoluteQuadrature)
            return digit == kQuadratureInterface;
    }
    return digit >= '0' && digit <= kValueLines[index].highest;
}

// The digit of a "Key:value" line (parts after a further colon are not read), or none when the
// key or the value is not what the line must hold.
std::optional<int> ValueOfLine(int index, std::string_view line)
{
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.substr(0, colon) != kValueLines[index].key)
        return std::nullopt;
    std::string_view value = line.substr(colon + 1);
    value = value.substr(0, value.find(':'));
    if (!Accepted(index, value))
        return std::nullopt;
    return value.front() - '0';
}

int Refuse(int message)
{
    LocalizedMessagePopup(kTitleError, message);
    return 1;
}

} // namespace

ParameterFileValues ShownParameterValues()
{
    const int sys = SysPage();
    ParameterFileValues values{};
    values[kFileInterface] = CtrlInt(sys, VariantInterface() ? TAB_SYS_COMM_PROTOCOL_SPEC : TAB_SYS_COMM_PROTOCOL);
    values[kFileResolution] = CtrlInt(sys, TAB_SYS_VANTREL_RES);
    values[kFileStartset] = CtrlInt(sys, TAB_SYS_STARTSET);
    values[kFileEncoding] = CtrlInt(sys, TAB_SYS_SSI_CODING);
    values[kFileOutputval] = CtrlInt(sys, TAB_SYS_SSI_VALUE);
    values[kFileBitlength] = CtrlInt(sys, TAB_SYS_SSI_LENGTH);
    values[kFileEdgeTime] = CtrlDimmed(sys, TAB_SYS_EDGETIME) ? 0 : CtrlInt(sys, TAB_SYS_EDGETIME);
    values[kFileFrameType] = CtrlDimmed(sys, TAB_SYS_FRAME_TYPE) ? 0 : CtrlInt(sys, TAB_SYS_FRAME_TYPE);
    if (g_absoluteQuadrature) {
        values[kFileVhRequest] = CtrlInt(sys, TAB_SYS_QI_HW_RQ_EN);
        values[kFileZSignal] = CtrlInt(sys, TAB_SYS_QI_Z_TYPE);
    }
    return values;
}

int SaveCfgFile(const char *path)
{
    const ParameterFileValues values = ShownParameterValues();
    const OpenedFile file(OpenFile(path, VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII));
    if (!file.IsOpen() || !WriteFileLines(file.Handle(), values))
        return Refuse(kMsgFileOperation);
    return 0;
}

int LoadCfgFile(const char *path)
{
    g_loadedValues = {};
    const OpenedFile file(OpenFile(path, VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII));
    if (!file.IsOpen())
        return Refuse(kMsgFileOperation);

    std::array<std::optional<int>, kFileValueCount> values;
    const int valueLines = ValueLinesToRead();
    std::string buffer(kMaxLineChars + 1, '\0');
    for (int lineIndex = 0; lineIndex < valueLines + 2; ++lineIndex) {
        const int length = ReadLine(file.Handle(), buffer.data(), kMaxLineChars);
        if (length == FILE_END_OF_FILE)
            return Refuse(kMsgWrongFile);
        if (length < 0)
            return Refuse(kMsgReadError);
        const std::string_view line(buffer.data(), static_cast<std::size_t>(length));
        if (lineIndex == 0 && line != kHeader)
            return Refuse(kMsgWrongFile);
        const int index = lineIndex - 2;
        if (index < 0 || !ValueLineChecked(index))
            continue;
        values[index] = ValueOfLine(index, line);
        if (!values[index])
            return Refuse(kMsgWrongFile);
    }
    g_loadedValues = values;
    return 0;
}

std::optional<int> LoadedParameterValue(ParameterFileValue value)
{
    if (value < 0 || value >= kFileValueCount)
        return std::nullopt;
    return g_loadedValues[value];
}
