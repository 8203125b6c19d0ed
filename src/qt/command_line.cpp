// SPDX-License-Identifier: MIT
#include "qt/command_line.hpp"

#include <QCoreApplication>

#include <cstdio>

namespace tova {

QStringList argumentsOf(int argc, char** argv) {
    QStringList args;
    for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    return args;
}

CommandLineOutcome usageError(const QString& text) {
    return {kUsageError, QStringLiteral("%1: %2 (see --help)\n").arg(QCoreApplication::applicationName(), text)};
}

CommandLineOutcome parseCommandLine(QCommandLineParser& p, const QStringList& arguments) {
    const QCommandLineOption help = p.addHelpOption();
    const QCommandLineOption version = p.addVersionOption();
    if (!p.parse(arguments)) return usageError(p.errorText());
    if (p.isSet(help)) // parsed before any application object: name the program ourselves
        return {0, p.helpText().replace(QStringLiteral("<executable_name>"), QCoreApplication::applicationName()), true};
    if (p.isSet(version))
        return {0, QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                QCoreApplication::applicationVersion()),
                true};
    return {};
}

std::variant<LineSettings, CommandLineOutcome> LineOptions::settings(const QCommandLineParser& p) const {
    if (!p.isSet(device)) return usageError(QStringLiteral("--device is required"));
    const QString baud = p.value(speed);
    if (baud != QLatin1String("19200") && baud != QLatin1String("9600"))
        return usageError(QStringLiteral("--speed takes 19200 or 9600"));
    return LineSettings{baud.toInt()};
}

int finish(const CommandLineOutcome& outcome) {
    std::fputs(qPrintable(outcome.message), outcome.toStdout ? stdout : stderr);
    std::fflush(outcome.toStdout ? stdout : stderr);
    return outcome.exitCode;
}

} // namespace tova
