#define _GNU_SOURCE /* accept4 */
/* The floor for a server of rzl-sim's kind: one thread, one epoll set, a connection per request.
 * It answers the 5-byte poll frame with the module's 10-byte poll reply and closes the
 * connection, as the module does, and does nothing else: no state, no log, no other command.
 * It listens on 127.0.0.1 (port 0: a free one) and prints "listening on 127.0.0.1:PORT" first,
 * as rzl-sim does. Usage: poll_floor_server [PORT] */

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

enum { kMaxFds = 65536, kEvents = 64 };

static const unsigned char kPoll[5] = {0x5A, 0x35, 0x77, 0xA5, 0xD8};
/* accepted, DO 0x05, DI 0x03, RSSI -60 */
static const unsigned char kReply[10] = {0x5A, 0x35, 0x77, 0xA5, 0xD8, 0x06, 0x05, 0x03, 0xFF, 0xC4};

static unsigned char have[kMaxFds]; /* bytes of the request read so far, per connection */

int main(int argc, char** argv) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    struct sockaddr_in at;
    socklen_t size = sizeof at;
    memset(&at, 0, sizeof at);
    at.sin_family = AF_INET;
    at.sin_port = htons((unsigned short)(argc > 1 ? atoi(argv[1]) : 0));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (listener < 0 || bind(listener, (struct sockaddr*)&at, sizeof at) != 0 || listen(listener, 128) != 0 ||
        getsockname(listener, (struct sockaddr*)&at, &size) != 0) {
        perror("poll_floor_server");
        return 1;
    }
    printf("listening on 127.0.0.1:%u\n", ntohs(at.sin_port));
    fflush(stdout);

    const int set = epoll_create1(EPOLL_CLOEXEC);
    struct epoll_event event = {.events = EPOLLIN, .data.fd = listener};
    epoll_ctl(set, EPOLL_CTL_ADD, listener, &event);
    struct epoll_event ready[kEvents];
    for (;;) {
        const int n = epoll_wait(set, ready, kEvents, -1);
        for (int i = 0; i < n; ++i) {
            const int fd = ready[i].data.fd;
            if (fd == listener) {
                int client;
                while ((client = accept4(listener, NULL, NULL, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    if (client >= kMaxFds) {
                        close(client);
                        continue;
                    }
                    have[client] = 0;
                    struct epoll_event in = {.events = EPOLLIN, .data.fd = client};
                    epoll_ctl(set, EPOLL_CTL_ADD, client, &in);
                }
                continue;
            }
            unsigned char request[sizeof kPoll];
            const ssize_t got = read(fd, request + have[fd], sizeof kPoll - have[fd]);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
            if (got > 0 && memcmp(request + have[fd], kPoll + have[fd], (size_t)got) != 0) {
                close(fd); /* not a poll */
                continue;
            }
            if (got > 0) have[fd] = (unsigned char)(have[fd] + got);
            if (got > 0 && have[fd] < sizeof kPoll) continue;
            if (got > 0 && write(fd, kReply, sizeof kReply) < 0) perror("write");
            close(fd); /* answered, or the peer closed or failed */
        }
    }
}
