// Test main of the updater's tests: one QApplication for all tests, on the
// offscreen platform unless another one is asked for.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // The Update command's failure path reads one line of standard input.
    if (std::freopen("/dev/null", "r", stdin) == nullptr) {
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
