// SPDX-License-Identifier: MIT
// Whole-process start times against bare Qt programs in the same run:
// the window from exec until the X server maps it (first run, no settings
// file), and nebelkamm-cli --no-save from exec to exit. Needs DISPLAY (an
// Xvfb will do; bench/start.sh starts one). Prints medians and ratios.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(program.c_str());
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// From exec until the program's first top-level window is mapped.
double UntilMapped(xcb_connection_t* x, const std::string& program) {
    const auto start = Clock::now();
    const pid_t pid = Spawn(program, {});
    double ms = -1;
    while (xcb_generic_event_t* e = xcb_wait_for_event(x)) {
        const bool mapped = (e->response_type & 0x7f) == XCB_MAP_NOTIFY;
        std::free(e);
        if (mapped) {
            ms = Ms(Clock::now() - start);
            break;
        }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    // Let the kill's unmap arrive, then drop it.
    std::free(xcb_get_input_focus_reply(x, xcb_get_input_focus(x), nullptr));
    while (xcb_generic_event_t* e = xcb_poll_for_event(x))
        std::free(e);
    return ms;
}

double UntilExit(const std::string& program, const std::vector<std::string>& args) {
    const auto start = Clock::now();
    const pid_t pid = Spawn(program, args);
    waitpid(pid, nullptr, 0);
    return Ms(Clock::now() - start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr,
                     "usage: %s NEBELKAMM MINIMAL_WINDOW NEBELKAMM_CLI MINIMAL_CORE [RUNS]\n",
                     argv[0]);
        return 64;
    }
    const int runs = argc > 5 ? std::atoi(argv[5]) : 30;
    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(x)) {
        std::fprintf(stderr, "no X display (DISPLAY=%s)\n", std::getenv("DISPLAY"));
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);

    // A fresh folder: the window's first run creates its settings file.
    char dir[] = "/tmp/nebelkamm-start-XXXXXX";
    if (!mkdtemp(dir) || chdir(dir) != 0)
        return 1;
    std::vector<double> window, bare, cli, core;
    for (int i = 0; i < runs; ++i) { // interleaved, so that drift hits both
        bare.push_back(UntilMapped(x, argv[2]));
        std::remove("Nebelkamm.ini");
        window.push_back(UntilMapped(x, argv[1]));
        core.push_back(UntilExit(argv[4], {}));
        cli.push_back(UntilExit(argv[3], {"--no-save"}));
    }
    std::remove("Nebelkamm.ini");
    rmdir(dir);
    std::printf("%d runs each, medians:\n", runs);
    std::printf("  window shown      %7.1f ms   bare Qt window %7.1f ms   ratio %.2f\n",
                Median(window), Median(bare), Median(window) / Median(bare));
    std::printf("  cli --no-save     %7.1f ms   bare Qt Core   %7.1f ms   ratio %.2f\n",
                Median(cli), Median(core), Median(cli) / Median(core));
    xcb_disconnect(x);
    return 0;
}
