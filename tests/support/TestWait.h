// SPDX-License-Identifier: BSD-3-Clause
#pragma once

#include <QtTest>

// QTRY_VERIFY and QTRY_COMPARE look again only every 50 ms; with the tool's timings near zero most of
// a GUI test's time went into those pauses. These look again as soon as events have been handled
// (QTest::qWaitFor), then check the same way, with the same 5 s limit.
#define QX_TRY_VERIFY(expr)                                                                                  \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&]() { return bool(expr); });                                                 \
        QVERIFY(expr);                                                                                       \
    } while (false)

#define QX_TRY_COMPARE(actual, expected)                                                                     \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&]() { return (actual) == (expected); });                                     \
        QCOMPARE(actual, expected);                                                                          \
    } while (false)
