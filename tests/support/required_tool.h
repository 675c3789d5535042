#pragma once
// Tests that need a program of the machine (a browser, Prometheus, an X server) skip where
// it is missing, as on a developer's partial set-up, unless KYV_REQUIRE_TEST_TOOLS is set:
// the project's test command sets it, so that a run without them fails rather than passes
// having tested less.
#include <QTest>

#define KYV_MISSING_TOOL(why)                                            \
  do {                                                                   \
    if (qEnvironmentVariableIsSet("KYV_REQUIRE_TEST_TOOLS")) QFAIL(why); \
    QSKIP(why);                                                          \
  } while (false)
