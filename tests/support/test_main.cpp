// Entry point of every test binary: a Qt application (with widgets for the windows' suites, on the
// offscreen platform) and Brazilian Portuguese regional settings, as on the venues' terminals.
#include <QLocale>
#include <gtest/gtest.h>
#ifdef VORTALIS_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TestApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
