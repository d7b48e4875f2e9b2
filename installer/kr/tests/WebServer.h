#pragma once

// The download tests' nginx, started by a CTest fixture: its ports, the files
// it serves and its access log ("uri \"range\" status bytes" a line).

#include <windows.h>

#include <string>
#include <vector>

struct AccessLogLine {
    std::string uri;
    std::string range; // "-" without a Range header
    int status = 0;
    unsigned long long bytes = 0;
};

class WebServer {
public:
    // Reads the fixture's folder from KR_WEB_SERVER; available() is false without it.
    WebServer();

    bool available() const { return http_port_ != 0; }
    unsigned short http_port() const { return http_port_; }
    unsigned short https_port() const { return https_port_; }
    // "http://127.0.0.1:PORT" + path.
    std::wstring Url(const std::wstring& path) const;
    std::wstring SecureUrl(const std::wstring& path) const;
    // The bytes of a file the server serves from its root.
    std::string Served(const std::wstring& name) const;
    std::wstring CaCertificate() const { return folder_ + L"\\ca.der"; }
    // The folder the server serves, as Windows programs see it.
    std::wstring Root() const { return folder_ + L"\\root"; }
    // The log lines of the requests whose URI contains tag, in order.
    std::vector<AccessLogLine> Requests(const std::string& tag) const;

private:
    std::wstring folder_;
    unsigned short http_port_ = 0;
    unsigned short https_port_ = 0;
};

// A tag unique to the running test case, put in the query of its addresses.
std::string CaseTag();
// An ASCII text widened.
inline std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}
// An ASCII text narrowed.
inline std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}
