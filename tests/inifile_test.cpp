// SPDX-License-Identifier: MIT
#include "TempDir.h"

#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/Inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <ostream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace nebelkamm;

class IniFileTest : public InTempDir {};

namespace {

void Write(const TIniFile& ini, std::string_view section, std::string_view key, std::string value) {
    const IniEntry entry{key, std::move(value)};
    ini.WriteStrings(section, {&entry, 1});
}

double Read(const TIniFile& ini, std::string_view key, double def) {
    return ini.ReadFloats("Input", std::span(&key, 1), std::span(&def, 1)).front();
}

} // namespace

TEST_F(IniFileTest, WriteCreatesReadParsesAfresh) {
    TIniFile ini("./Nebelkamm.ini", '.');
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(Read(ini, "A", 7), 7);
    Write(ini, "Input", "A", ini.FloatText(1.2));
    Write(ini, "Input", "B", ini.FloatText(0.00005));
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(Get("Nebelkamm.ini"), "[Input]\nA=1.2\nB=5E-5\n");
    Put("Nebelkamm.ini", "[Input]\r\nA=3\r\n"); // changed behind its back
    EXPECT_EQ(Read(ini, "A", 0), 3);
    EXPECT_FALSE(QFileInfo::exists("Nebelkamm.ini.lock"));
}

TEST_F(IniFileTest, ReadFloatFallsBackToTheDefault) {
    Put("Nebelkamm.ini",
        "[Input]\nEmpty=\nWord=abc\nComma=1,5\nHuge=1e400\nOut=1e5000\nOk= 2.5 \n");
    TIniFile ini("./Nebelkamm.ini", '.');
    for (const char* key : {"Missing", "Empty", "Word", "Comma", "Huge", "Out"})
        EXPECT_EQ(Read(ini, key, 7), 7) << key;
    EXPECT_EQ(Read(ini, "Ok", 7), 2.5);
    EXPECT_EQ(Read(TIniFile("./Nebelkamm.ini", ','), "Comma", 7), 1.5);
}

TEST_F(IniFileTest, RefusedWritesChangeNothing) {
    const std::string before = "[Input]\nA=1\n";
    Put("ro.ini", before);
    QFile::setPermissions("ro.ini", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    QDir().mkdir("dir.ini");

    struct Case {
        std::string file;
        std::string value;
    };
    for (const Case& c : std::vector<Case>{{"./ro.ini", "2"},
                                           {"./dir.ini", "2"},
                                           {"./missing/x.ini", "2"},
                                           {"./ok.ini", "a\nb"},
                                           {"./ok.ini", std::string("a\0b", 3)},
                                           {"./ok.ini", "a\rb"}}) {
        TIniFile ini(c.file, '.');
        try {
            Write(ini, "Input", "A", c.value);
            ADD_FAILURE() << c.file << " accepted";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + c.file);
        }
    }
    EXPECT_EQ(Get("ro.ini"), before);
    EXPECT_FALSE(QFileInfo::exists("ok.ini"));
    EXPECT_TRUE(QFileInfo("dir.ini").isDir());
}

TEST_F(IniFileTest, WriteKeepsPermissionsAndFollowsLinks) {
    Put("real.ini", "[Input]\nA=1\n");
    QFile::setPermissions("real.ini", QFile::ReadOwner | QFile::WriteOwner);
    ASSERT_TRUE(QFile::link("real.ini", "link.ini"));
    Write(TIniFile("./link.ini", '.'), "Input", "A", "2");
    EXPECT_TRUE(QFileInfo("link.ini").isSymLink());
    EXPECT_EQ(Get("real.ini"), "[Input]\nA=2\n");
    const auto user = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    EXPECT_EQ(QFile::permissions("real.ini") & ~user, QFile::ReadOwner | QFile::WriteOwner);
}

// Writers of one file, threads or processes, are serialised: no key written
// by one is lost to another.
TEST_F(IniFileTest, ConcurrentWritersLoseNothing) {
    auto write = [](int t) {
        TIniFile ini("./Nebelkamm.ini", '.');
        for (int i = 0; i < 15; ++i)
            Write(ini, "Input", "K" + std::to_string(t) + "_" + std::to_string(i), "1");
    };
    std::vector<pid_t> children;
    for (int t = 0; t < 2; ++t) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                write(t);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        children.push_back(pid);
    }
    std::vector<std::thread> threads;
    for (int t = 2; t < 4; ++t)
        threads.emplace_back(write, t);
    for (auto& th : threads)
        th.join();
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TIniFile ini("./Nebelkamm.ini", '.');
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(Read(ini, "K" + std::to_string(t) + "_" + std::to_string(i), 0), 1);
}

TEST_F(IniFileTest, UnreadableOrStrangeFilesReadAsDefaults) {
    QDir().mkdir("Nebelkamm.ini");
    TIniFile ini("./Nebelkamm.ini", '.');
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(Read(ini, "A", 4), 4);
}

// Names that the reader would never find again are refused, file untouched.
TEST_F(IniFileTest, NamesThatCannotBeReadBackAreRefused) {
    const std::string before = "[Input]\nA=1\n";
    Put("Nebelkamm.ini", before);
    TIniFile ini("./Nebelkamm.ini", '.');
    const std::pair<const char*, std::string> names[] = {
        {"Input", ""},     {"Input", ";A"},
        {"Input", "[X"},   {"Input", " A"},
        {"Input", "A\t"},  {"Input", "A=B"},
        {"Input", "A]"},   {"Input", "A\nB"},
        {"Input", "A\rB"}, {"Input", std::string("A\0B", 3)},
        {"", "A"},         {" Input", "A"},
        {"In]put", "A"},   {";Input", "A"},
        {"[Input", "A"}};
    for (const auto& [section, key] : names) {
        EXPECT_THROW(Write(ini, section, key, "2"), EIniFileException)
            << "[" << section << "] " << key;
    }
    EXPECT_EQ(Get("Nebelkamm.ini"), before);
    Write(ini, "Input", "A B", "2"); // inner blanks read back
    EXPECT_EQ(Read(ini, "a b", 0), 2);
}

// A replaced output takes the umask when it is new (a thread changing the
// umask meanwhile cannot widen it), keeps an old file's mode, and writes
// through a link.
TEST_F(IniFileTest, ReplacedFilesKeepModesAndLinks) {
    struct Case {
        const char* name;
        mode_t umask, old; // old 0: no file before
        bool link;
        mode_t expected;
    };
    const Case cases[] = {
        {.name = "new under 022", .umask = 022, .old = 0, .link = false, .expected = 0644},
        {.name = "new under 077", .umask = 077, .old = 0, .link = false, .expected = 0600},
        {.name = "old 0604 kept", .umask = 077, .old = 0604, .link = false, .expected = 0604},
        {.name = "through a link", .umask = 022, .old = 0640, .link = true, .expected = 0640},
    };
    for (const Case& c : cases) {
        ::unlink("out.csv");
        ::unlink("target.csv");
        const char* path = c.link ? "out.csv" : "target.csv";
        if (c.old) {
            Put("target.csv", "old\n");
            ASSERT_EQ(::chmod("target.csv", c.old), 0);
        }
        if (c.link) {
            ASSERT_EQ(::symlink("target.csv", "out.csv"), 0);
        }
        const mode_t before = ::umask(c.umask);
        WriteFileReplacing(path, "new\n");
        ::umask(before);
        struct stat st {};
        ASSERT_EQ(::stat("target.csv", &st), 0) << c.name;
        EXPECT_EQ(st.st_mode & 07777, c.expected) << c.name;
        EXPECT_EQ(Get("target.csv"), "new\n") << c.name;
        EXPECT_EQ(::lstat(path, &st) == 0 && S_ISLNK(st.st_mode), c.link) << c.name;
        EXPECT_EQ(QDir(".").entryList(QDir::Files | QDir::Hidden).size(), c.link ? 2 : 1)
            << c.name; // no temporary file left
    }
}

// A pipe named like an output is written into and stays a pipe: replacing
// it would leave its reader with nothing.
TEST_F(IniFileTest, APipeIsWrittenIntoNotReplaced) {
    ASSERT_EQ(::mkfifo("chart.svg", 0644), 0);
    const int reader = ::open("chart.svg", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    WriteFileReplacing("chart.svg", "<svg/>\n");
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 7);
    EXPECT_STREQ(got, "<svg/>\n");
    ::close(reader);
    struct stat st {};
    ASSERT_EQ(::lstat("chart.svg", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// Messages reach the descriptor as whole lines, each batch in one write:
// a packet socket keeps every write apart.
TEST(LineWriter, WritesWholeLinesOnly) {
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<std::string> packets;
    };
    const Case cases[] = {
        {.name = "a line in pieces",
         .pieces = {"nebelkamm-cli: ", "warning: ", "x", "\n"},
         .packets = {"nebelkamm-cli: warning: x\n"}},
        {.name = "lines and a rest", .pieces = {"a\nb", "\nc"}, .packets = {"a\n", "b\n", "c"}},
        {.name = "nothing", .pieces = {}, .packets = {}},
    };
    for (const Case& c : cases) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
        {
            LineWriter lines(fds[0]);
            std::ostream err(&lines);
            for (const std::string& piece : c.pieces)
                err << piece;
            err.flush();
            EXPECT_TRUE(err.good()) << c.name;
        }
        ::shutdown(fds[0], SHUT_WR);
        std::vector<std::string> packets;
        char buffer[256];
        for (ssize_t n; (n = ::recv(fds[1], buffer, sizeof buffer, 0)) > 0;)
            packets.emplace_back(buffer, static_cast<std::size_t>(n));
        EXPECT_EQ(packets, c.packets) << c.name;
        ::close(fds[0]);
        ::close(fds[1]);
    }
    // A message that cannot be written makes the stream bad.
    const int full = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    LineWriter lines(full);
    std::ostream err(&lines);
    err << "nebelkamm-cli: lost\n";
    EXPECT_FALSE(err.good());
    ::close(full);
}
