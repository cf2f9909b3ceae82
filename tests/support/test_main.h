// QTEST_MAIN for a test class some of whose functions try what only the file has: in a run on the
// server they are left out (see runTests).
#pragma once

#include "support/test_server.h"

#include <QApplication>
#include <QTest>

#define TARVINO_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return tarvino::test::runTests(tc, argc, argv);                                            \
    }
