#pragma once

// A CProxyServer inside the test on a real pipe: the test holds the engine's
// end, writes messages, has the server dispatch them and collects the
// replies. What the handlers would do to the machine goes to recorders.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "parcels/NamedPipeHandler.h"
#include "parcels/ProxyHandler.h"
#include "parcels/ProxyServer.h"

// Every call the handlers make to the machine, as one text each.
class RecordingSystem : public CProxySystem {
public:
    DWORD StartProgram(const _stringx& program, const _stringx& arguments, const _stringx& folder,
                       HANDLE& process) override;
    DWORD WaitForProgram(HANDLE process, DWORD& exit_code) override;
    LONG SetRegistryValue(HKEY root, const _stringx& key, REGSAM access, bool create, const _stringx& name, DWORD type,
                          PipeBytes data) override;
    LONG DeleteRegistryTree(HKEY root, const _stringx& parent, const _stringx& leaf, REGSAM access) override;
    HMODULE LoadModule(const _stringx& path) override;
    FARPROC FindEntry(HMODULE module, const char* name) override;
    void ReleaseModule(HMODULE module) override;
    const MsiFunctions& Msi() override;

    std::vector<std::wstring> calls;
    // When set, every DLL loads as this module and every entry is this one.
    HMODULE module = nullptr;
    FARPROC entry = nullptr;
};

// Work objects of which only the extension object exists: a bare IDispatch.
class RecordingWorkers : public CProxyWorkers {
public:
    HRESULT CreateExtension(CProxyHandler& pipe, bool parcel, IDispatch** extension) override;
    bool offer_extension = false;
    std::vector<bool> parcel_flags;
};

// The msi.dll table of RecordingSystem: version 5.0, begin hands out 0x1234.
std::vector<std::wstring>& MsiCalls();

struct Message {
    DWORD type = 0;
    std::vector<BYTE> payload;
    DWORD Word(size_t index = 0) const;
};

class ServerOnPipe {
public:
    ServerOnPipe();
    ~ServerOnPipe();

    // Writes the message, lets the server read and dispatch it, and returns
    // every message the server wrote in answer.
    std::vector<Message> Exchange(DWORD type, const std::vector<BYTE>& payload);
    std::vector<Message> Request(DWORD code, DWORD value, const std::vector<BYTE>& data1 = {},
                                 const std::vector<BYTE>& data2 = {});
    // Dispatches a payload given in place, then collects the answers.
    std::vector<Message> DispatchInPlace(DWORD type, PipeBytes payload);
    std::vector<Message> Drain();

    CProxyServer& server() { return server_; }
    RecordingSystem& system() { return system_; }
    RecordingWorkers& workers() { return workers_; }

private:
    RecordingSystem system_;
    RecordingWorkers workers_;
    CProxyServer server_{system_, workers_};
    HANDLE engine_ = INVALID_HANDLE_VALUE;
};

std::vector<BYTE> TextBytes(const std::wstring& text);
std::vector<BYTE> WordBytes(std::initializer_list<DWORD> words);

// The engine's end of a pipe whose other end a function, given the pipe's
// name, drives on its own thread; the engine's end closes first when done.
class PipePeer {
public:
    using Script = std::function<void(const std::wstring& name)>;
    explicit PipePeer(Script script);
    ~PipePeer();
    PipePeer(const PipePeer&) = delete;
    PipePeer& operator=(const PipePeer&) = delete;

    CProxyHandler& Engine() { return *engine_; }

private:
    std::thread thread_;
    std::unique_ptr<CProxyHandler> engine_;
};
