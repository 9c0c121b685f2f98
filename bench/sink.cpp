// A local HTTP sink for the upload benchmark: accepts one connection at a
// time, reads the request (header, then Content-Length bytes), discards the
// body, answers like the upload server and closes. Prints its port first.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char Answer[] = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 30\r\n"
                      "Connection: close\r\n\r\nvideo_id=benchmark&status=ok\r\n";

long long contentLength(const std::string &header)
{
    const char *name = "\r\nContent-Length:";
    const std::size_t at = header.find(name);
    if (at == std::string::npos)
        return 0;
    return std::strtoll(header.c_str() + at + std::strlen(name), nullptr, 10);
}

void serve(int fd, std::vector<char> &buffer)
{
    std::string header;
    long long bodyLeft = -1;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            return;
        if (bodyLeft < 0) {
            header.append(buffer.data(), std::size_t(n));
            const std::size_t end = header.find("\r\n\r\n");
            if (end == std::string::npos)
                continue;
            bodyLeft = contentLength(header) - (long long)(header.size() - end - 4);
        } else {
            bodyLeft -= n;
        }
        if (bodyLeft <= 0)
            break;
    }
    const ssize_t written = ::write(fd, Answer, sizeof Answer - 1);
    (void)written;
    // Let the client read the answer before the connection goes.
    ::shutdown(fd, SHUT_WR);
    while (::read(fd, buffer.data(), buffer.size()) > 0) { }
}

} // namespace

int main()
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listener, reinterpret_cast<sockaddr *>(&addr), len) != 0
        || ::listen(listener, 16) != 0
        || ::getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        std::perror("bench_sink");
        return 1;
    }
    std::printf("%d\n", ntohs(addr.sin_port));
    std::fflush(stdout);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0)
            continue;
        serve(fd, buffer);
        ::close(fd);
    }
}
