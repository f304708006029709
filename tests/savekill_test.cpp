// SPDX-License-Identifier: MIT
// Saves interrupted by SIGKILL at random moments and at every system call,
// and saves racing each other: the settings file always holds one complete
// set of seven, the rest of the file intact, and the next save goes through.
#include "TempDir.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

const char* const Keys[] = {"RelativeHumidity",   "TempBeforeBlower", "PressureBeforeBlower",
                            "ScavingAirPressure", "TempAfterCooler",  "SpecificAirFlow",
                            "PowerOnEngine"};

// The file as a save of seven equal values leaves it: a comment, another
// section and the order of the keys stay byte for byte.
std::string FileWith(int v) {
    std::string s = "; shared settings\n[Other]\nX=1\n[Input]\n";
    for (const char* k : Keys)
        s += std::string(k) + "=" + std::to_string(v) + "\n";
    return s + "; tail\n";
}

pid_t Spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return status;
}

std::vector<std::string> Save(int v) {
    std::vector<std::string> argv{NEBELKAMM_CLI, "--json"};
    for (int i = 0; i < 7; ++i)
        argv.push_back(std::to_string(v));
    return argv;
}

int Count(const char* name) {
    return std::atoi(std::getenv(name) ? std::getenv(name) : "0");
}

class SaveKill : public InTempDir {
protected:
    // The file holds the complete set of one of the values; no writer holds
    // the lock any more; at most one temporary file is left.
    void ExpectWhole(const std::vector<int>& candidates, const std::string& when) {
        const std::string now = Get("Nebelkamm.ini");
        bool whole = false;
        for (int v : candidates)
            whole = whole || now == FileWith(v);
        EXPECT_TRUE(whole) << when << ":\n" << now;
        const int lock = ::open("Nebelkamm.ini.lock", O_RDONLY);
        if (lock >= 0) { // left by the killed writer: nobody may still hold it
            EXPECT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0) << when;
            ::close(lock);
        }
        EXPECT_LE(QDir(".").entryList({"Nebelkamm.ini.saving-*"}, QDir::Files).size(), 1) << when;
    }
    // The next save goes through at once and cleans up after the dead one.
    void ExpectNextSave(int v) {
        EXPECT_EQ(Wait(Spawn(Save(v))), 0);
        EXPECT_EQ(Get("Nebelkamm.ini"), FileWith(v));
        EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden), QStringList{"Nebelkamm.ini"});
    }
};

} // namespace

TEST_F(SaveKill, RandomKillsLeaveTheOldOrTheNewSet) {
    const int kills = Count("NEBELKAMM_KILLS") > 0 ? Count("NEBELKAMM_KILLS") : 200;
    std::mt19937 rng(2026);
    Put("Nebelkamm.ini", FileWith(1));
    // The save comes last in a run: aim the kills at a run's later part.
    std::vector<long> runs;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Spawn(Save(1))), 0);
        runs.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count());
    }
    std::sort(runs.begin(), runs.end());
    std::uniform_int_distribution<long> delay(runs[2] / 2, runs[2] * 11 / 10);
    int old = 1, midSave = 0;
    for (int k = 0; k < kills; ++k) {
        const int next = old == 1 ? 2 : 1;
        const pid_t pid = Spawn(Save(next));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        kill(pid, SIGKILL);
        const int status = Wait(pid);
        ExpectWhole({old, next}, "kill " + std::to_string(k));
        if (!WIFEXITED(status) && QFile::exists("Nebelkamm.ini.lock"))
            ++midSave; // killed while it held the lock
        if (Get("Nebelkamm.ini") == FileWith(next))
            old = next;
        if (HasFailure())
            return;
    }
    std::cout << kills << " kills, " << midSave << " of them while the lock was held\n";
    ExpectNextSave(7);
}

// strace lists the system calls of one save; then one run per call is
// killed exactly there.
TEST_F(SaveKill, KillAtEverySystemCallOfASave) {
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed (tools/deps.sh installs it)";
    Put("Nebelkamm.ini", FileWith(1));
    // The leak checker of a sanitizer build cannot run under ptrace.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    const std::string cli = NEBELKAMM_CLI;
    ASSERT_EQ(
        std::system(("strace -qq -f -o trace.txt " + cli + " 2 2 2 2 2 2 2 >/dev/null").c_str()),
        0);
    std::ifstream trace("trace.txt");
    std::vector<std::pair<std::string, int>> calls; // name, its ordinal in the whole run
    std::map<std::string, int> seen;
    const std::regex call(R"(^\d+\s+(\w+)\()");
    bool inSave = false;
    for (std::string line; std::getline(trace, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, call))
            continue;
        const std::string name = m[1];
        const int ordinal = ++seen[name];
        inSave = inSave || line.find("Nebelkamm.ini.lock") != std::string::npos;
        if (inSave && name != "exit_group")
            calls.emplace_back(name, ordinal);
    }
    std::remove("trace.txt");
    ASSERT_GE(calls.size(), 10u) << "no save found in the trace";
    ASSERT_EQ(Get("Nebelkamm.ini"), FileWith(2));

    std::cout << calls.size() << " system calls in a save, each killed once\n";
    int old = 2;
    for (const auto& [name, ordinal] : calls) {
        const int next = old == 2 ? 3 : 2;
        const std::string inject =
            "inject=" + name + ":signal=KILL:when=" + std::to_string(ordinal);
        std::vector<std::string> argv{"strace", "-qq",           "-f", "-o",  "/dev/null",
                                      "-e",     "trace=" + name, "-e", inject};
        for (const std::string& a : Save(next))
            argv.push_back(a);
        const pid_t pid = Spawn(argv);
        ASSERT_GT(pid, 0);
        Wait(pid);
        const std::string at = name + " #" + std::to_string(ordinal);
        ExpectWhole({old, next}, at);
        if (Get("Nebelkamm.ini") == FileWith(next))
            old = next;
        if (HasFailure())
            return;
    }
    ExpectNextSave(9);
}

// Four programs saving at once, thirty times: each save is whole.
TEST_F(SaveKill, ConcurrentSaversNeverMix) {
    Put("Nebelkamm.ini", FileWith(1));
    for (int round = 0; round < 30; ++round) {
        std::vector<pid_t> pids;
        std::vector<int> values;
        for (int p = 0; p < 4; ++p) {
            values.push_back(100 * (p + 1) + round);
            pids.push_back(Spawn(Save(values.back())));
        }
        for (pid_t pid : pids) {
            const int status = Wait(pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        ExpectWhole(values, "round " + std::to_string(round));
        if (HasFailure())
            return;
    }
}
