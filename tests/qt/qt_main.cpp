// Runs the Qt tests inside an application: offscreen, no display needed.
#include <QApplication>
#include <QStyleFactory>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
