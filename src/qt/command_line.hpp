// SPDX-License-Identifier: MIT
#pragma once
// The command line of every program: help, version and usage errors alike. A usage error ends
// the program with status 64 (EX_USAGE), never with 1, which scripts read as a failure.
#include "core/settings.hpp"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <variant>

namespace tova {

inline constexpr int kUsageError = 64;

// What a program does after its command line: go on (exitCode -1), or print message and end.
struct CommandLineOutcome {
    int exitCode = -1;
    QString message;
    bool toStdout = false; // help and version go to standard output, errors to standard error
    bool goOn() const { return exitCode < 0; }
};

// The program's arguments as given, for parsing before any application object exists.
QStringList argumentsOf(int argc, char** argv);

// Parses with help and version; reports a usage error, help or the version as the outcome.
CommandLineOutcome parseCommandLine(QCommandLineParser& parser, const QStringList& arguments);

// A usage error of the program: "program: text (see --help)".
CommandLineOutcome usageError(const QString& text);

// Prints the outcome's message where it belongs and returns its exit status.
int finish(const CommandLineOutcome& outcome);

// The serial line's options of the programs that take one device: --device and --speed.
struct LineOptions {
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("The serial device, or tcp://HOST:PORT of a device server (required)."),
                              QStringLiteral("path")};
    QCommandLineOption speed{QStringLiteral("speed"), QStringLiteral("19200 (default) or 9600."),
                             QStringLiteral("baud"), QStringLiteral("19200")};
    // The line settings they give, or a usage error saying which is wrong.
    std::variant<LineSettings, CommandLineOutcome> settings(const QCommandLineParser& p) const;
};

} // namespace tova
