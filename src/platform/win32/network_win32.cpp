// A connect that cannot hang: the socket is made non-blocking, and select()
// waits for the connection with the caller's bound. Each address the name
// resolves to is tried in turn, within the one bound.
#include "platform/win32/network_win32.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

namespace win32 {
namespace {

// WSAStartup and WSACleanup around one question.
class SocketsInUse {
public:
    SocketsInUse() {
        WSADATA data;
        error_ = static_cast<std::uint32_t>(::WSAStartup(MAKEWORD(2, 2), &data));
    }
    ~SocketsInUse() {
        if (error_ == 0) ::WSACleanup();
    }
    SocketsInUse(const SocketsInUse&) = delete;
    SocketsInUse& operator=(const SocketsInUse&) = delete;
    std::uint32_t Error() const { return error_; }

private:
    std::uint32_t error_ = 0;
};

class Socket {
public:
    explicit Socket(SOCKET handle) : handle_(handle) {}
    ~Socket() {
        if (handle_ != INVALID_SOCKET) ::closesocket(handle_);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    SOCKET get() const { return handle_; }

private:
    SOCKET handle_;
};

std::uint32_t ConnectOne(const addrinfo& address, DWORD deadline) {
    Socket socket(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (socket.get() == INVALID_SOCKET) return static_cast<std::uint32_t>(::WSAGetLastError());
    u_long nonBlocking = 1;
    if (::ioctlsocket(socket.get(), FIONBIO, &nonBlocking) != 0) {
        return static_cast<std::uint32_t>(::WSAGetLastError());
    }
    if (::connect(socket.get(), address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return 0;
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK) return static_cast<std::uint32_t>(error);
    const DWORD now = ::GetTickCount();
    const DWORD left = static_cast<LONG>(deadline - now) > 0 ? deadline - now : 0;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(socket.get(), &writable);
    FD_SET(socket.get(), &failed);
    timeval wait = {static_cast<long>(left / 1000), static_cast<long>((left % 1000) * 1000)};
    const int ready = ::select(0, nullptr, &writable, &failed, &wait);
    if (ready == 0) return platform::net::kTimedOut;
    if (ready == SOCKET_ERROR) return static_cast<std::uint32_t>(::WSAGetLastError());
    if (FD_ISSET(socket.get(), &writable)) return 0;
    int socketError = 0;
    int length = sizeof(socketError);
    (void)::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&socketError),
                       &length);
    return socketError != 0 ? static_cast<std::uint32_t>(socketError) : platform::net::kRefused;
}

}  // namespace

std::uint32_t Win32Network::ConnectTcp(const std::string& host, int port, std::uint32_t timeoutMs) {
    SocketsInUse sockets;
    if (sockets.Error() != 0) return sockets.Error();
    const DWORD deadline = ::GetTickCount() + timeoutMs;
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
        return static_cast<std::uint32_t>(::WSAGetLastError());
    }
    std::uint32_t error = platform::net::kHostNotFound;
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        error = ConnectOne(*address, deadline);
        if (error == 0 || error == platform::net::kTimedOut) break;
    }
    ::freeaddrinfo(found);
    return error;
}

}  // namespace win32
