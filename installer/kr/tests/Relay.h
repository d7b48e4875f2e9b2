#pragma once

// A loopback relay in front of the test web server. It forwards each
// connection to the server and, for its first cut_connections connections,
// closes both sides once budget bytes of the answer have gone to the client:
// a connection broken in the middle of a body. A silent relay takes
// connections and never answers.

#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class Relay {
public:
    static constexpr int every_connection = 1 << 30;

    Relay(unsigned short server_port, int cut_connections, size_t budget);
    // A relay that never answers.
    Relay();
    ~Relay();
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    unsigned short port() const { return port_; }
    int connections() const { return connections_.load(); }
    // The body bytes (after the answer's headers) that reached the client on
    // each connection, in the order of the connections.
    std::vector<size_t> BodyBytes() const;

private:
    void Listen();
    void Serve(SOCKET client, int number);
    void Forward(SOCKET client, int number);
    void Swallow(SOCKET client);

    unsigned short server_port_ = 0;
    int cut_connections_ = 0;
    size_t budget_ = 0;
    bool silent_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<size_t> body_bytes_;
    std::vector<std::thread> workers_;
    std::thread listener_thread_;
};
