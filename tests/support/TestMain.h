#pragma once

#include "TestProfile.h"

#include <QApplication>
#include <QtTest>

// Like QTEST_MAIN, but the whole run uses a temporary profile (settings and data
// folders) and the offscreen platform unless another one is asked for.
#define CALVESTRA_TEST_MAIN_WITH(Application, TestObject) \
    int main(int argc, char *argv[])                     \
    {                                                    \
        TestProfile profile;                             \
        Application app(argc, argv);                     \
        Application::setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject tc;                                   \
        QTEST_SET_MAIN_SOURCE_PATH                       \
        return QTest::qExec(&tc, argc, argv);            \
    }
#define CALVESTRA_TEST_MAIN(TestObject) CALVESTRA_TEST_MAIN_WITH(QApplication, TestObject)
#define CALVESTRA_TEST_CORE_MAIN(TestObject) CALVESTRA_TEST_MAIN_WITH(QCoreApplication, TestObject)
