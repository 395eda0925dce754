#pragma once

#include <QtTest>
#if __has_include(<QApplication>)
#include <QApplication>
#endif

namespace TestSupport {
// Points XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR at a fresh temporary
// folder of this test run (removed at exit). Call before the application object exists.
void isolateUserFolders();
// The temporary root made by isolateUserFolders().
QString userRoot();
} // namespace TestSupport

// Like QTEST_MAIN / QTEST_GUILESS_MAIN, with private user folders.
#define PALAVERO_TEST_MAIN(TestObject)                                                                       \
    int main(int argc, char** argv) {                                                                        \
        TestSupport::isolateUserFolders();                                                                   \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#define PALAVERO_TEST_GUILESS_MAIN(TestObject)                                                               \
    int main(int argc, char** argv) {                                                                        \
        TestSupport::isolateUserFolders();                                                                   \
        QCoreApplication app(argc, argv);                                                                    \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
