// SPDX-License-Identifier: MIT
#include "TempDir.h"

#include "platform/Errors.h"
#include "platform/Inifile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace nebelkamm;

class IniFileTest : public InTempDir {};

TEST_F(IniFileTest, WriteCreatesReadParsesAfresh) {
    TIniFile ini("./Nebelkamm.ini", '.');
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadString("Input", "A", "def"), "def");
    ini.WriteFloat("Input", "A", 1.2);
    ini.WriteFloat("Input", "B", 0.00005);
    EXPECT_TRUE(ini.Exists());
    EXPECT_EQ(Get("Nebelkamm.ini"), "[Input]\nA=1.2\nB=5E-5\n");
    Put("Nebelkamm.ini", "[Input]\r\nA=3\r\n"); // changed behind its back
    EXPECT_EQ(ini.ReadFloat("Input", "A", 0), 3);
    EXPECT_FALSE(QFileInfo::exists("Nebelkamm.ini.lock"));
}

TEST_F(IniFileTest, ReadFloatFallsBackToTheDefault) {
    Put("Nebelkamm.ini",
        "[Input]\nEmpty=\nWord=abc\nComma=1,5\nHuge=1e400\nOut=1e5000\nOk= 2.5 \n");
    TIniFile ini("./Nebelkamm.ini", '.');
    for (const char* key : {"Missing", "Empty", "Word", "Comma", "Huge", "Out"})
        EXPECT_EQ(ini.ReadFloat("Input", key, 7), 7) << key;
    EXPECT_EQ(ini.ReadFloat("Input", "Ok", 7), 2.5);
    EXPECT_EQ(TIniFile("./Nebelkamm.ini", ',').ReadFloat("Input", "Comma", 7), 1.5);
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
            ini.WriteString("Input", "A", c.value);
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
    TIniFile("./link.ini", '.').WriteString("Input", "A", "2");
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
            ini.WriteString("Input", "K" + std::to_string(t) + "_" + std::to_string(i), "1");
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
            EXPECT_EQ(
                ini.ReadString("Input", "K" + std::to_string(t) + "_" + std::to_string(i), ""),
                "1");
}

TEST_F(IniFileTest, UnreadableOrStrangeFilesReadAsDefaults) {
    QDir().mkdir("Nebelkamm.ini");
    TIniFile ini("./Nebelkamm.ini", '.');
    EXPECT_FALSE(ini.Exists());
    EXPECT_EQ(ini.ReadFloat("Input", "A", 4), 4);
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
        EXPECT_THROW(ini.WriteString(section, key, "2"), EIniFileException)
            << "[" << section << "] " << key;
    }
    EXPECT_EQ(Get("Nebelkamm.ini"), before);
    ini.WriteString("Input", "A B", "2"); // inner blanks read back
    EXPECT_EQ(ini.ReadString("Input", "a b", ""), "2");
}
