#include "TcpSocket.h"

#include <chrono>
#include <cstring>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#endif

namespace hc12 {

namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr int kSendFlags = 0;

bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}
int LastError() {
    return WSAGetLastError();
}
bool WouldBlock(int err) {
    return err == WSAEWOULDBLOCK;
}
bool Interrupted(int err) {
    return err == WSAEINTR;
}
bool InProgress(int err) {
    return err == WSAEWOULDBLOCK || err == WSAEINPROGRESS;
}
void SetNonBlocking(Native s) {
    u_long on = 1;
    ioctlsocket(s, FIONBIO, &on);
}
void CloseNative(Native s) {
    closesocket(s);
}
std::string ErrorText(int err) {
    char buffer[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, DWORD(err), 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(err) : text;
}
int PollNative(pollfd* fds, size_t count, int timeoutMs) {
    return WSAPoll(fds, ULONG(count), timeoutMs);
}
#else
using Native = int;
#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer is an error, not SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

bool StartWinsock() {
    return true;
}
int LastError() {
    return errno;
}
bool WouldBlock(int err) {
    return err == EAGAIN || err == EWOULDBLOCK;
}
bool Interrupted(int err) {
    return err == EINTR;
}
bool InProgress(int err) {
    return err == EINPROGRESS;
}
void SetNonBlocking(Native s) {
    const int flags = fcntl(s, F_GETFL);
    fcntl(s, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
}
void CloseNative(Native s) {
    close(s);
}
std::string ErrorText(int err) {
    return std::strerror(err);
}
int PollNative(pollfd* fds, size_t count, int timeoutMs) {
    return poll(fds, nfds_t(count), timeoutMs);
}
#endif

Native ToNative(intptr_t handle) {
    return Native(handle);
}

void SetNoDelay(Native s) {
    // Every frame is a question that waits for its answer: Nagle would hold it back
    // for the previous answer's acknowledgement.
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

// Waits for one socket to become readable or writable. 1 ready, 0 time-out, -1 error.
int WaitOne(Native s, short events, int timeoutMs) {
    pollfd pfd{};
    pfd.fd = s;
    pfd.events = events;
    for (;;) {
        const int n = PollNative(&pfd, 1, timeoutMs);
        if (n < 0 && Interrupted(LastError()))
            continue;  // a signal: look again (the caller's bound is coarse anyway)
        return n;
    }
}

// Waits for a connect in progress to end, either way. 1 ended, 0 time-out.
int WaitConnected(Native s, int timeoutMs) {
#ifdef _WIN32
    // WSAPoll does not report a refused connect on many Windows versions (it
    // waits out the time-out); select reports it among the exceptions.
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, nullptr, &writable, &failed, &tv) > 0 ? 1 : 0;
#else
    return WaitOne(s, POLLOUT, timeoutMs);
#endif
}

// One attempt on one address; the socket on success.
Native TryConnect(const addrinfo* ai, int timeoutMs, int* err) {
    Native s = Native(socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol));
    if (s == ToNative(-1)) {
        *err = LastError();
        return s;
    }
    SetNonBlocking(s);
    if (connect(s, ai->ai_addr, socklen_t(ai->ai_addrlen)) != 0) {
        *err = LastError();
        if (!InProgress(*err)) {
            CloseNative(s);
            return ToNative(-1);
        }
        const int n = WaitConnected(s, timeoutMs);
        if (n <= 0) {
#ifdef _WIN32
            *err = n == 0 ? WSAETIMEDOUT : LastError();
#else
            *err = n == 0 ? ETIMEDOUT : LastError();
#endif
            CloseNative(s);
            return ToNative(-1);
        }
        int soError = 0;
        socklen_t len = sizeof soError;
        getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len);
        if (soError != 0) {
            *err = soError;
            CloseNative(s);
            return ToNative(-1);
        }
    }
    SetNoDelay(s);
    return s;
}

}  // namespace

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = kInvalid;
    }
    return *this;
}

void TcpSocket::Close() {
    if (Valid())
        CloseNative(ToNative(handle_));
    handle_ = kInvalid;
}

void TcpSocket::Abort() {
    if (Valid()) {
        linger l{};
        l.l_onoff = 1;
        l.l_linger = 0;
        setsockopt(ToNative(handle_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
                   sizeof l);
    }
    Close();
}

TcpSocket TcpSocket::Connect(const std::string& host, uint16_t port, uint32_t timeoutMs,
                             std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = why;
        return TcpSocket();
    };
    if (!StartWinsock())
        return fail("Winsock does not start");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0 || list == nullptr) {
#ifdef _WIN32
        return fail(host + ": " + ErrorText(rc));
#else
        return fail(host + ": " + gai_strerror(rc));
#endif
    }

    using Steady = std::chrono::steady_clock;
    const auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
    int err = 0;
    Native s = ToNative(-1);
    for (const addrinfo* ai = list; ai != nullptr && s == ToNative(-1); ai = ai->ai_next) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
        if (left.count() <= 0) {
#ifdef _WIN32
            err = WSAETIMEDOUT;
#else
            err = ETIMEDOUT;
#endif
            break;
        }
        s = TryConnect(ai, int(left.count()), &err);
    }
    freeaddrinfo(list);
    if (s == ToNative(-1))
        return fail(ErrorText(err));
    return TcpSocket(intptr_t(s));
}

TcpSocket TcpSocket::Listen(const std::string& host, uint16_t port, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr)
            *error = why;
        return TcpSocket();
    };
    if (!StartWinsock())
        return fail("Winsock does not start");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0 || list == nullptr)
        return fail(host + ": not a numeric address");

    Native s = Native(socket(list->ai_family, list->ai_socktype, list->ai_protocol));
    if (s == ToNative(-1)) {
        freeaddrinfo(list);
        return fail(ErrorText(LastError()));
    }
    TcpSocket listener{intptr_t(s)};
#ifndef _WIN32
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
#endif
    const bool bound = bind(s, list->ai_addr, socklen_t(list->ai_addrlen)) == 0;
    freeaddrinfo(list);
    if (!bound || listen(s, 4) != 0)
        return fail(ErrorText(LastError()));
    SetNonBlocking(s);
    return listener;
}

TcpSocket TcpSocket::Accept() {
    if (!Valid())
        return TcpSocket();
    const Native s = Native(accept(ToNative(handle_), nullptr, nullptr));
    if (s == ToNative(-1))
        return TcpSocket();
    SetNonBlocking(s);
    SetNoDelay(s);
    return TcpSocket(intptr_t(s));
}

uint16_t TcpSocket::LocalPort() const {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    if (!Valid() || getsockname(ToNative(handle_), reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return 0;
    if (addr.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&addr)->sin_port);
    if (addr.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_port);
    return 0;
}

long TcpSocket::SendSome(const uint8_t* data, size_t size, std::string* why) {
    if (!Valid())
        return -1;
    for (;;) {
        const auto n =
            send(ToNative(handle_), reinterpret_cast<const char*>(data), int(size), kSendFlags);
        if (n >= 0)
            return long(n);
        const int err = LastError();
        if (Interrupted(err))
            continue;
        if (WouldBlock(err))
            return 0;
        if (why != nullptr)
            *why = ErrorText(err);
        return -1;
    }
}

bool TcpSocket::SendAll(const uint8_t* data, size_t size, uint32_t timeoutMs, std::string* why) {
    size_t done = 0;
    while (done < size) {
        const long n = SendSome(data + done, size - done, why);
        if (n < 0)
            return false;
        if (n == 0 && WaitOne(ToNative(handle_), POLLOUT, int(timeoutMs)) <= 0) {
            if (why != nullptr)
                *why = "the peer takes nothing";
            return false;
        }
        done += size_t(n);
    }
    return true;
}

long TcpSocket::Receive(uint8_t* dest, size_t maxSize, std::string* why) {
    if (!Valid())
        return -1;
    for (;;) {
        const auto n = recv(ToNative(handle_), reinterpret_cast<char*>(dest), int(maxSize), 0);
        if (n > 0)
            return long(n);
        if (n == 0) {
            if (why != nullptr)
                *why = "closed";
            return -1;  // orderly close by the peer
        }
        const int err = LastError();
        if (Interrupted(err))
            continue;
        if (WouldBlock(err))
            return 0;
        if (why != nullptr)
            *why = ErrorText(err);
        return -1;
    }
}

bool TcpSocket::PeerHungUp() const {
    if (!Valid())
        return true;
#ifdef POLLRDHUP
    pollfd pfd{};
    pfd.fd = ToNative(handle_);
    pfd.events = POLLRDHUP;
    return PollNative(&pfd, 1, 0) > 0 && (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
#else
    return false;
#endif
}

bool TcpSocket::WaitReadable(std::initializer_list<const TcpSocket*> sockets, uint64_t timeoutUs) {
    std::vector<pollfd> fds;
    for (const TcpSocket* s : sockets) {
        if (s != nullptr && s->Valid()) {
            pollfd pfd{};
            pfd.fd = ToNative(s->handle_);
            pfd.events = POLLIN;
            fds.push_back(pfd);
        }
    }
#if defined(__linux__)
    // Microsecond waits: a server loop that also watches a board needs them finer
    // than poll's milliseconds.
    timespec ts{time_t(timeoutUs / 1000000), long(timeoutUs % 1000000) * 1000};
    const int n = ppoll(fds.data(), nfds_t(fds.size()), &ts, nullptr);
#else
    const int timeoutMs = int((timeoutUs + 999) / 1000);
    if (fds.empty()) {
#ifdef _WIN32
        Sleep(DWORD(timeoutMs));  // WSAPoll refuses an empty set
#else
        poll(nullptr, 0, timeoutMs);
#endif
        return false;
    }
    const int n = PollNative(fds.data(), fds.size(), timeoutMs);
#endif
    if (n <= 0)
        return false;
    for (const pollfd& p : fds)
        if (p.revents != 0)
            return true;
    return false;
}

}  // namespace hc12
