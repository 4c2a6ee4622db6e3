#include "platform/datagram.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/files.h"

namespace ksw::platform {
namespace {

bool make_address(const std::string &path, sockaddr_un *address, std::string *error) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) {
        if (error) *error = path + ": socket path too long";
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

SendResult send_datagram(const std::string &path, std::string_view bytes, std::string *error) {
    sockaddr_un address{};
    if (!make_address(path, &address, error)) return SendResult::kFailed;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = errno_text(errno);
        return SendResult::kFailed;
    }
    ssize_t sent;
    do {
        sent = ::sendto(fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (sent < 0 && errno == EINTR);
    const int err = errno;
    ::close(fd);
    if (sent == static_cast<ssize_t>(bytes.size())) return SendResult::kSent;
    if (sent < 0 && (err == ENOENT || err == ECONNREFUSED || err == ENOTSOCK || err == EPROTOTYPE)) {
        if (error) *error = path + ": " + errno_text(err);
        return SendResult::kNoReceiver;
    }
    if (error) *error = path + ": " + (sent < 0 ? errno_text(err) : std::string("short send"));
    return SendResult::kFailed;
}

DatagramReceiver::~DatagramReceiver() { close(); }

void DatagramReceiver::close() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(path_.c_str());
    fd_ = -1;
    path_.clear();
}

bool DatagramReceiver::bind(const std::string &path, std::string *error) {
    close();
    sockaddr_un address{};
    if (!make_address(path, &address, error)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = errno_text(errno);
        return false;
    }
    struct stat st{};
    // Only a socket is replaced: a stale one of a copy that died. Anything else stays and fails.
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        if (error) *error = path + ": " + errno_text(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

int DatagramReceiver::wait(uint32_t timeout_ms) {
    if (fd_ < 0) return -1;
    pollfd p{fd_, POLLIN, 0};
    const int timeout = timeout_ms > 0x7FFFFFFFu ? -1 : static_cast<int>(timeout_ms);
    int n;
    do {
        n = ::poll(&p, 1, timeout);
    } while (n < 0 && errno == EINTR);
    if (n < 0 || (p.revents & (POLLERR | POLLNVAL))) return -1;
    return n > 0 ? 1 : 0;
}

long DatagramReceiver::receive(char *buffer, size_t size, std::string *error) {
    if (fd_ < 0) {
        if (error) *error = "not open";
        return -1;
    }
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, size, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (error) *error = errno == EAGAIN || errno == EWOULDBLOCK ? std::string("nothing waiting") : errno_text(errno);
        return -1;
    }
    return static_cast<long>(n);
}

}  // namespace ksw::platform
