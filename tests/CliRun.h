// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

// What a run of the command line gave.
struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs the built command line with the arguments (under the prefix's
// command when one is given), with the C locale but the given numeric one,
// writing input to its standard input.
inline CliRun RunCli(const QStringList& args, const char* numericLocale = "C",
                     const QStringList& prefix = {}, const std::string& input = {}) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("LC_ALL");
    env.insert("LANG", "C");
    env.insert("LC_NUMERIC", numericLocale);
    p.setProcessEnvironment(env);
    if (prefix.isEmpty())
        p.start(QStringLiteral(NEBELKAMM_CLI), args);
    else
        p.start(prefix.front(), prefix.mid(1) + args);
    CliRun r;
    // A command that never started or never ended must not read as status 0.
    r.status = -1;
    if (!p.waitForStarted(30000))
        return r;
    if (!input.empty())
        p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
