#pragma once

// The records that travel on the pipe between the engine and its proxies: one
// reader and one writer per layout, used by both ends. All words are
// little-endian u32, texts UTF-16LE without terminator, lengths in bytes.
//
// Every reader checks each length against the bytes that carried it before
// anything is read by it, so a malformed record is refused whole: the elevated
// proxy must never read past a message. Writers end records with the 4 zero
// bytes the layouts carry.

#include <windows.h>

#include <span>
#include <vector>

#include "kr/stringx.h"

using PipeBytes = std::span<const BYTE>;

// Message types and the reply flag.
constexpr DWORD kPipeRequest = 1;
constexpr DWORD kPipeCallback = 2;
constexpr DWORD kPipeHello = 3;
constexpr DWORD kPipeQuit = 4;
constexpr DWORD kPipeReply = 0x80000000;

struct ProxyRequestView {
    DWORD code = 0;
    DWORD value = 0;
    PipeBytes data1;
    PipeBytes data2;
};
bool ReadProxyRequest(PipeBytes payload, ProxyRequestView& request);
std::vector<BYTE> WriteProxyRequest(DWORD code, DWORD value, PipeBytes data1, PipeBytes data2);

// A u32 at the start of the bytes (folder selector of request 7, the
// sub-operation of request 11, the status of a reply).
bool ReadWord(PipeBytes bytes, DWORD& word);
std::vector<BYTE> WriteWord(DWORD word);

// data2 of request 11: what the app-package companion is asked (sub-operations
// 1-4) and the certificate import (5); only the queries 3 and 4 carry texts.
struct AppxRequestRecord {
    DWORD operation = 0;
    DWORD value = 0;
    DWORD version_high = 0;
    DWORD version_low = 0;
    _stringx architecture;
    _stringx publisher;
};
std::vector<BYTE> WriteAppxRequestRecord(const AppxRequestRecord& record);

// data2 of request 2.
struct MsiCommandData {
    DWORD log_mode = 0;
    _stringx command_line;
    _stringx log_path;
};
bool ReadMsiCommandData(PipeBytes bytes, MsiCommandData& data);
std::vector<BYTE> WriteMsiCommandData(const MsiCommandData& data);

// Reply to request 7.
bool ReadFolderReply(PipeBytes bytes, _stringx& path);
std::vector<BYTE> WriteFolderReply(const _stringx& path);

// data1 of request 8: the Add/Remove Programs registrar's state.
struct ArpRecord {
    static constexpr size_t kTexts = 16;
    DWORD operation = 0; // 1 write, 0 remove
    DWORD version = 0;
    DWORD size = 0;
    DWORD language = 0;
    DWORD icon = 0;
    DWORD flags = 0;
    _stringx texts[kTexts];
};
bool ReadArpRecord(PipeBytes bytes, ArpRecord& record);
std::vector<BYTE> WriteArpRecord(const ArpRecord& record);

// data1 of requests 9 and 13. Sub-code 6 of request 9 carries three numbers
// after text 1 in place of text 2.
struct ExtensionCallRequest {
    DWORD sub_code = 0;
    _stringx text1;
    _stringx text2;
    bool has_progress = false;
    DWORD progress[3] = {}; // current, maximum, flags
};
bool ReadExtensionCallRequest(PipeBytes bytes, bool progress_record, ExtensionCallRequest& request);
std::vector<BYTE> WriteExtensionCallRequest(const ExtensionCallRequest& request);

// Result message of requests 9 and 13: a text or a u32 number.
struct ExtensionCallResult {
    DWORD sub_code = 0;
    HRESULT status = S_OK;
    std::vector<BYTE> result;
};
bool ReadExtensionCallResult(PipeBytes bytes, ExtensionCallResult& result);
std::vector<BYTE> WriteExtensionCallResult(const ExtensionCallResult& result);

// data2 of request 12 for a managed-code entry.
struct ClrCallData {
    _stringx file;
    _stringx name;
    _stringx arguments;
};
bool ReadClrCallData(PipeBytes bytes, ClrCallData& data);
std::vector<BYTE> WriteClrCallData(const ClrCallData& data);

// data2 of request 14.
struct QuillexCallData {
    DWORD debug = 0;
    _stringx function;
    _stringx debug_text; // read only when debug is 1
};
bool ReadQuillexCallData(PipeBytes bytes, QuillexCallData& data);
std::vector<BYTE> WriteQuillexCallData(const QuillexCallData& data);

// data2 of request 15.
struct ExeLaunchData {
    DWORD show = SW_SHOWNORMAL;
    DWORD wait = 0;
    _stringx arguments;
    _stringx verb;
};
bool ReadExeLaunchData(PipeBytes bytes, ExeLaunchData& data);
std::vector<BYTE> WriteExeLaunchData(const ExeLaunchData& data);

// data2 of request 16.
struct WebDeployCallData {
    _stringx a;
    _stringx b;
};
bool ReadWebDeployCallData(PipeBytes bytes, WebDeployCallData& data);
std::vector<BYTE> WriteWebDeployCallData(const WebDeployCallData& data);

// data1 of request 17. The value data stays bytes: its type says what it is.
struct RegistryRecord {
    DWORD root = 0x80000002; // HKEY_LOCAL_MACHINE
    DWORD type = 0;
    DWORD flags = 0; // bit 0 64-bit view, bit 1 create a missing key
    _stringx key_path;
    _stringx value_name;
    std::vector<BYTE> data;
};
bool ReadRegistryRecord(PipeBytes bytes, RegistryRecord& record);
std::vector<BYTE> WriteRegistryRecord(const RegistryRecord& record);

// Call-backs 1, 2 and 4 of request 2.
struct MsiUiCallback {
    DWORD code = 0;
    DWORD flags = 0; // error flags (1) or the restart-manager flag (4)
    DWORD progress_flags = 0;
    DWORD current = 0;
    DWORD maximum = 0;
    _stringx text;
};
bool ReadMsiUiCallback(PipeBytes bytes, MsiUiCallback& callback);
std::vector<BYTE> WriteMsiUiCallback(const MsiUiCallback& callback);

// Call-backs 1, 2 and 4 of request 10; code 4 is a query with a default answer.
struct KrpProgressCallback {
    DWORD code = 0;
    DWORD words[3] = {}; // 1: error flags, 0, 0; 2: progress flags, current, maximum
    DWORD query_kind = 0;
    _stringx text; // message, or the query text of code 4
    _stringx default_answer;
};
bool ReadKrpProgressCallback(PipeBytes bytes, KrpProgressCallback& callback);
std::vector<BYTE> WriteKrpProgressCallback(const KrpProgressCallback& callback);

// The engine's 12-byte answer to call-backs of requests 2 and 10 (codes 1, 2).
struct CallbackAnswer {
    LONG status = 0;
    DWORD cancel = 0;
    DWORD action = 0;
};
bool ReadCallbackAnswer(PipeBytes bytes, CallbackAnswer& answer);
std::vector<BYTE> WriteCallbackAnswer(const CallbackAnswer& answer);

// The engine's answer to query call-back 4 of request 10.
struct QueryAnswer {
    static constexpr DWORD kText = 4;
    static constexpr DWORD kNone = 2;
    LONG status = 0;
    DWORD kind = kNone;
    _stringx answer; // taken only with kind 4
};
bool ReadQueryAnswer(PipeBytes bytes, QueryAnswer& answer);
std::vector<BYTE> WriteQueryAnswer(const QueryAnswer& answer);
