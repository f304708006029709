// SPDX-License-Identifier: MIT
// Saves interrupted by SIGKILL at random moments and at every system call,
// and saves racing each other, in a folder that takes new files and in one
// that does not (where the file is rewritten in place), as root and as
// another user: the settings file always holds one complete set of seven,
// the rest of the file intact, and the next save goes through.
#include "TempDir.h"

#include <QDir>
#include <QTemporaryDir>

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

int Count(const char* name) {
    return std::atoi(std::getenv(name) ? std::getenv(name) : "0");
}

enum class Folder { Writable, ReadOnlyAsRoot, ReadOnlyAsUser };

std::string PrintToString(Folder f) {
    return f == Folder::Writable         ? "WritableFolder"
           : f == Folder::ReadOnlyAsRoot ? "ReadOnlyFolderAsRoot"
                                         : "ReadOnlyFolderAsUser";
}

// Sets of unlike lengths, so that a save in place both grows and shrinks
// the file.
constexpr int Short = 1, Long = 22;

class SaveKill : public InTempDir, public ::testing::WithParamInterface<Folder> {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        if (GetParam() == Folder::ReadOnlyAsUser) {
            if (geteuid() != 0)
                GTEST_SKIP() << "saving as another user needs root";
            // The program where that user may run it.
            ASSERT_TRUE(QFile::copy(QStringLiteral(NEBELKAMM_CLI), bin_.filePath("cli")));
            ::chmod(bin_.path().toLocal8Bit().constData(), 0755);
            prefix_ = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
            cli_ = bin_.filePath("cli").toStdString();
        }
    }
    void TearDown() override {
        ::chmod(".", 0755);
        InTempDir::TearDown();
    }
    bool InPlace() const { return GetParam() != Folder::Writable; }

    // The file with the set of v; a folder that takes no new file from now
    // on where the test asks for one.
    void Start(int v) {
        Put("Nebelkamm.ini", FileWith(v));
        if (InPlace()) {
            ::chmod("Nebelkamm.ini", 0666);
            ::chmod(".", 0555);
        }
    }
    // The set of v back in the file, its other lines as ever.
    void Reset(int v) { Put("Nebelkamm.ini", FileWith(v)); }
    std::vector<std::pair<std::string, int>> CallsOfASave(int from, int to);
    std::vector<std::string> Save(int v) const {
        std::vector<std::string> argv = prefix_;
        argv.push_back(cli_);
        argv.push_back("--json");
        for (int i = 0; i < 7; ++i)
            argv.push_back(std::to_string(v));
        return argv;
    }
    // The file as a reader sees it: blank lines at its end left by a save in
    // place that was killed before it cut the file are passed over.
    std::string Content() const {
        std::string now = Get("Nebelkamm.ini");
        while (InPlace() && now.ends_with("\n\n"))
            now.pop_back();
        return now;
    }
    // The file holds the complete set of one of the values and every other
    // line; no writer holds a lock any more; at most one temporary file.
    void ExpectWhole(const std::vector<int>& candidates, const std::string& when) {
        const std::string now = Content();
        bool whole = false;
        for (int v : candidates)
            whole = whole || now == FileWith(v);
        EXPECT_TRUE(whole) << when << ":\n" << Get("Nebelkamm.ini");
        for (const char* name : {"Nebelkamm.ini.lock", "Nebelkamm.ini"}) {
            const int fd = ::open(name, O_RDONLY);
            if (fd >= 0) { // nobody may still hold it
                EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << when << " " << name;
                ::close(fd);
            }
        }
        EXPECT_LE(QDir(".").entryList({"Nebelkamm.ini.saving-*"}, QDir::Files).size(), 1) << when;
    }
    // The next save goes through at once and cleans up after the dead one.
    void ExpectNextSave(int v) {
        EXPECT_EQ(Wait(Spawn(Save(v))), 0);
        EXPECT_EQ(Content(), FileWith(v));
        EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden), QStringList{"Nebelkamm.ini"});
    }

private:
    QTemporaryDir bin_;
    std::vector<std::string> prefix_;
    std::string cli_ = NEBELKAMM_CLI;
};

} // namespace

TEST_P(SaveKill, RandomKillsLeaveTheOldOrTheNewSet) {
    const int kills = Count("NEBELKAMM_KILLS") > 0 ? Count("NEBELKAMM_KILLS") : 200;
    std::mt19937 rng(2026);
    Start(Short);
    // The save comes last in a run: aim the kills at a run's later part.
    std::vector<long> runs;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_EQ(Wait(Spawn(Save(Short))), 0);
        runs.push_back(std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count());
    }
    std::sort(runs.begin(), runs.end());
    std::uniform_int_distribution<long> delay(runs[2] / 2, runs[2] * 11 / 10);
    int old = Short, midSave = 0;
    for (int k = 0; k < kills; ++k) {
        const int next = old == Short ? Long : Short;
        const pid_t pid = Spawn(Save(next));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay(rng)));
        kill(pid, SIGKILL);
        const int status = Wait(pid);
        ExpectWhole({old, next}, "kill " + std::to_string(k));
        if (!WIFEXITED(status) && Get("Nebelkamm.ini") != FileWith(old))
            ++midSave; // killed in the middle of its save
        if (Content() == FileWith(next))
            old = next;
        if (HasFailure())
            return;
    }
    std::cout << kills << " kills, " << midSave << " of them in the middle of the save\n";
    ExpectNextSave(7);
}

// strace lists the system calls of one save; then one run per call is
// killed exactly there.
// The system calls of a save from the set of one value to another's: each
// call's name and its ordinal among that name's calls in the whole run.
std::vector<std::pair<std::string, int>> SaveKill::CallsOfASave(int from, int to) {
    Reset(from);
    const std::string traced = "/tmp/nebelkamm-trace-" + std::to_string(::getpid());
    std::vector<std::string> argv{"strace", "-qq", "-f", "-o", traced};
    for (const std::string& a : Save(to))
        argv.push_back(a);
    EXPECT_EQ(Wait(Spawn(argv)), 0);
    std::ifstream trace(traced);
    std::vector<std::pair<std::string, int>> calls;
    std::map<std::string, int> seen;
    const std::regex call(R"(^\d+\s+(\w+)\()");
    bool inSave = false;
    for (std::string line; std::getline(trace, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, call))
            continue;
        const std::string name = m[1];
        const int ordinal = ++seen[name];
        // A save begins where the program looks whether the file is a link.
        inSave = inSave || (line.find("Nebelkamm.ini") != std::string::npos &&
                            line.find("AT_SYMLINK_NOFOLLOW") != std::string::npos);
        if (inSave && name != "exit_group")
            calls.emplace_back(name, ordinal);
    }
    std::remove(traced.c_str());
    EXPECT_EQ(Content(), FileWith(to));
    return calls;
}

// A save that makes the file longer and one that makes it shorter, each
// killed once at every system call it makes.
TEST_P(SaveKill, KillAtEverySystemCallOfASave) {
    if (std::system("strace -V >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace is not installed (tools/deps.sh installs it)";
    // The leak checker of a sanitizer build cannot run under ptrace.
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    Start(Short);
    for (const auto& [from, to] : {std::pair{Short, Long}, std::pair{Long, Short}}) {
        const auto calls = CallsOfASave(from, to);
        ASSERT_GE(calls.size(), 10u) << "no save found in the trace";
        std::cout << calls.size() << " system calls in a save from " << from << " to " << to
                  << ", each killed once\n";
        for (const auto& [name, ordinal] : calls) {
            Reset(from);
            const std::string inject =
                "inject=" + name + ":signal=KILL:when=" + std::to_string(ordinal);
            std::vector<std::string> argv{"strace", "-qq",           "-f", "-o",  "/dev/null",
                                          "-e",     "trace=" + name, "-e", inject};
            for (const std::string& a : Save(to))
                argv.push_back(a);
            const pid_t pid = Spawn(argv);
            ASSERT_GT(pid, 0);
            Wait(pid);
            ExpectWhole({from, to}, name + " #" + std::to_string(ordinal));
            if (HasFailure())
                return;
        }
    }
    ExpectNextSave(9);
}

// Four programs saving at once, thirty times: each save is whole.
TEST_P(SaveKill, ConcurrentSaversNeverMix) {
    Start(Short);
    for (int round = 0; round < 30; ++round) {
        std::vector<pid_t> pids;
        std::vector<int> values;
        for (int p = 0; p < 4; ++p) {
            values.push_back(p % 2 ? 100000 * (p + 1) + round : p + 1); // unlike lengths
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

INSTANTIATE_TEST_SUITE_P(Folders, SaveKill,
                         ::testing::Values(Folder::Writable, Folder::ReadOnlyAsRoot,
                                           Folder::ReadOnlyAsUser),
                         [](const auto& info) { return PrintToString(info.param); });
