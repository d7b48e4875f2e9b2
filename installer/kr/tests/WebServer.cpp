#include "WebServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "TestFolder.h"

WebServer::WebServer()
{
    const char* unix_folder = std::getenv("KR_WEB_SERVER");
    if (!unix_folder || !*unix_folder)
        return;
    // Wine's Z: drive is the Unix root.
    folder_ = L"Z:";
    for (const char* c = unix_folder; *c; ++c)
        folder_ += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    std::istringstream ports(ReadBytes(folder_ + L"\\port"));
    unsigned http = 0, https = 0;
    if (ports >> http >> https) {
        http_port_ = static_cast<unsigned short>(http);
        https_port_ = static_cast<unsigned short>(https);
    }
}

std::wstring WebServer::Url(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(http_port_) + path;
}

std::wstring WebServer::SecureUrl(const std::wstring& path) const
{
    return L"https://127.0.0.1:" + std::to_wstring(https_port_) + path;
}

std::string WebServer::Served(const std::wstring& name) const
{
    return ReadBytes(folder_ + L"\\root\\" + name);
}

std::vector<AccessLogLine> WebServer::Requests(const std::string& tag) const
{
    std::vector<AccessLogLine> lines;
    std::istringstream log(ReadBytes(folder_ + L"\\logs\\access.log"));
    std::string text;
    while (std::getline(log, text)) {
        if (text.find(tag) == std::string::npos)
            continue;
        std::istringstream fields(text);
        AccessLogLine line;
        fields >> line.uri >> line.range >> line.status >> line.bytes;
        if (line.range.size() >= 2 && line.range.front() == '"')
            line.range = line.range.substr(1, line.range.size() - 2);
        lines.push_back(line);
    }
    return lines;
}

std::string CaseTag()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string tag = std::string("case=") + info->test_suite_name() + "." + info->name() + "." +
                      std::to_string(GetTickCount());
    for (char& c : tag)
        if (c == '/')
            c = '_';
    return tag;
}
