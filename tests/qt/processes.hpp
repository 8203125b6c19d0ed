// SPDX-License-Identifier: MIT
#pragma once
// The programs run as processes by the tests, with the event loop running meanwhile so that
// peers in the test process go on answering.
#include "pty_peer.hpp"

#include <QProcess>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <string>
#include <vector>

namespace tova::test {

inline QString bin(const char* name) { return QStringLiteral(TOVA_BIN_DIR "/") + QString::fromLatin1(name); }

struct Result {
    int exitCode;
    QString out, err;
};

inline Result run(const QString& program, const QStringList& args, int ms = 20000,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    [[maybe_unused]] const bool ended = QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, ms);
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(3000);
        return {-1, QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// tova-sim started as a process; its device path is the first line it prints.
struct SimProcess {
    QProcess p;
    QString device;
    explicit SimProcess(QStringList args) {
        p.start(bin("tova-sim"), args);
        p.waitForReadyRead(5000);
        device = QString::fromUtf8(p.readLine()).trimmed();
    }
    ~SimProcess() {
        p.terminate();
        p.waitForFinished(3000);
    }
};

// A projector of the test's own on a pseudo-terminal: each line received (up to CR) gets the
// reply of the first unused script row that expects it, after that row's delay.
struct ScriptedPeer {
    struct Row {
        std::string line; // as received, without its CR
        std::string reply;
        int delayMs = 0;
        bool used = false;
    };
    PtyPeer pty;
    std::vector<Row> script;
    std::vector<std::string> lines; // every line received
    std::string partial;
    QSocketNotifier notifier{pty.fd(), QSocketNotifier::Read};

    explicit ScriptedPeer(std::vector<Row> rows) : script(std::move(rows)) {
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] {
            for (char c : pty.readNow()) {
                if (c != '\r') {
                    partial.push_back(c);
                    continue;
                }
                lines.push_back(std::exchange(partial, {}));
                for (auto& row : script)
                    if (!row.used && row.line == lines.back()) {
                        row.used = true;
                        QTimer::singleShot(row.delayMs, &notifier, [this, reply = row.reply] { pty.write(reply); });
                        break;
                    }
            }
        });
    }
    QString path() const { return pty.path(); }
};

} // namespace tova::test
