#pragma once

// A connection to a proxy process as its users on the engine side see it:
// one request out, the status of its first reply back. CProxyHandler is the
// pipe's; tests put a recording one in its place.

#include <windows.h>

class CNamedPipeHandler;

class IProxyConnection {
public:
    // The status of the reply: 87 for null data with a length, the write's
    // error, or 233 when no reply of at least one word came.
    virtual DWORD SendRequest(DWORD code, DWORD value, const void* data1, DWORD length1, const void* data2,
                              DWORD length2) = 0;
    // The pipe under the connection, for requests whose work talks back
    // before its result; null for a connection without one.
    virtual CNamedPipeHandler* Channel() noexcept { return nullptr; }

protected:
    ~IProxyConnection() = default;
};
