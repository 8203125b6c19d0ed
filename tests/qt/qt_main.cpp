// SPDX-License-Identifier: MIT
// Runs the Qt tests inside an application: offscreen, no display needed.
#include <QApplication>
#include <QStyleFactory>

#include <gtest/gtest.h>

namespace {

// The window logs a control name it does not know; in the tests that fails the running test.
void failOnCritical(QtMsgType type, const QMessageLogContext&, const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    if (type == QtCriticalMsg || type == QtFatalMsg) ADD_FAILURE() << text.toStdString();
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(failOnCritical);
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
