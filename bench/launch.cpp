// Starts a program under the X display of $DISPLAY and measures its start:
// the time from just before the program is started to the first top-level
// window mapped on the screen, then, after a second of idling, its resident
// memory. Prints "shown_s=... rss_kb=..." and ends the program.
//
//   bench_launch PROGRAM [ARG...]
#include <xcb/xcb.h>

#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// VmRSS of a process in kB.
long long residentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atoll(line.c_str() + 6);
    }
    return -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_launch PROGRAM [ARG...]\n");
        return 2;
    }
    // A display that has just come up may refuse the first connection.
    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    for (int tries = 0; xcb_connection_has_error(x) && tries < 20; ++tries) {
        xcb_disconnect(x);
        usleep(100 * 1000);
        x = xcb_connect(nullptr, nullptr);
    }
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "bench_launch: no X display\n");
        return 1;
    }
    // Every window mapped as a child of the root window is reported.
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));

    const double start = now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        std::perror("bench_launch");
        _exit(127);
    }
    double shown = -1;
    while (xcb_generic_event_t *event = xcb_wait_for_event(x)) {
        const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
        free(event);
        if (mapped) {
            shown = now() - start;
            break;
        }
    }
    sleep(1);
    const long long rss = residentKilobytes(pid);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    xcb_disconnect(x);
    if (shown < 0)
        return 1;
    std::printf("shown_s=%.4f rss_kb=%lld\n", shown, rss);
    return 0;
}
