#include "Relay.h"

#include <ws2tcpip.h>

#include <cstring>
#include <string>

namespace {

struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

void UseWinsock()
{
    static WinsockUser user;
}

sockaddr_in Loopback(unsigned short port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Whether the socket has data (or its end) within 100 ms.
bool Readable(SOCKET s)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait = {0, 100000};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

} // namespace

Relay::Relay(unsigned short server_port, int cut_connections, size_t budget)
    : server_port_(server_port), cut_connections_(cut_connections), budget_(budget)
{
    Listen();
}

Relay::Relay() : silent_(true)
{
    Listen();
}

void Relay::Listen()
{
    UseWinsock();
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(listener_, 16);
    int length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listener_thread_ = std::thread([this] {
        while (!stopping_) {
            if (!Readable(listener_))
                continue;
            const SOCKET client = accept(listener_, nullptr, nullptr);
            if (client == INVALID_SOCKET)
                continue;
            const int number = connections_++;
            workers_.emplace_back([this, client, number] { Serve(client, number); });
        }
    });
}

Relay::~Relay()
{
    stopping_ = true;
    listener_thread_.join();
    for (std::thread& worker : workers_)
        worker.join();
    closesocket(listener_);
}

std::vector<size_t> Relay::BodyBytes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return body_bytes_;
}

void Relay::Serve(SOCKET client, int number)
{
    if (silent_)
        Swallow(client);
    else
        Forward(client, number);
    closesocket(client);
}

void Relay::Swallow(SOCKET client)
{
    char buffer[4096];
    while (!stopping_) {
        if (Readable(client) && recv(client, buffer, sizeof(buffer), 0) <= 0)
            return;
    }
}

void Relay::Forward(SOCKET client, int number)
{
    const SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(server_port_);
    if (connect(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(server);
        return;
    }
    const bool cut = number < cut_connections_;
    size_t sent = 0;
    std::string head; // the answer up to the end of its headers
    size_t body = 0;
    bool in_body = false;
    char buffer[16384];
    while (!stopping_) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(client, &set);
        FD_SET(server, &set);
        timeval wait = {0, 100000};
        if (select(0, &set, nullptr, nullptr, &wait) <= 0)
            continue;
        if (FD_ISSET(client, &set)) {
            const int got = recv(client, buffer, sizeof(buffer), 0);
            if (got <= 0 || send(server, buffer, got, 0) != got)
                break;
        }
        if (FD_ISSET(server, &set)) {
            int got = recv(server, buffer, sizeof(buffer), 0);
            if (got <= 0)
                break;
            if (cut && sent + static_cast<size_t>(got) > budget_)
                got = static_cast<int>(budget_ - sent);
            if (got > 0 && send(client, buffer, got, 0) != got)
                break;
            sent += static_cast<size_t>(got);
            for (int i = 0; i < got; ++i) {
                if (in_body) {
                    body += static_cast<size_t>(got - i);
                    break;
                }
                head += buffer[i];
                in_body = head.size() >= 4 && head.compare(head.size() - 4, 4, "\r\n\r\n") == 0;
            }
            if (cut && sent >= budget_)
                break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (body_bytes_.size() <= static_cast<size_t>(number))
            body_bytes_.resize(static_cast<size_t>(number) + 1);
        body_bytes_[static_cast<size_t>(number)] = body;
    }
    closesocket(server);
}
