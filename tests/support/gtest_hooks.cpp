// Test support for GoogleTest: harness failures fail the running test, and so does a sanitizer report.
// Before any X header: Xlib's macros (None, Bool) break gtest's templates.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/xharness.h"

namespace xt {

namespace {

// Fails a test when any process it started wrote a sanitizer report: a
// sanitized console that hits a fault reports it on its standard error and
// dies, which a test that only looks at the windows might not notice. It is
// put before the result printer, so that the verdict printed is the real one.
class SanitizerCheck : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { startedErrFiles().clear(); }
    void OnTestEnd(const testing::TestInfo& test) override {
        for (const std::string& path : startedErrFiles()) {
            std::string report = sanitizerReport(readFile(path));
            if (!report.empty()) ADD_FAILURE() << "sanitizer report in " << path << ":\n" << report;
        }
        startedErrFiles().clear();
        // A failed test's folders (its programs' output) stay, to look into.
        if (test.result()->Failed())
            for (const std::string& dir : keepTempDirs()) std::printf("kept %s\n", dir.c_str());
    }
};

const bool installed = [] {
    failed = [](const std::string& what) { ADD_FAILURE() << what; };
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new SanitizerCheck);
    if (printer) listeners.Append(printer);
    return true;
}();

}  // namespace

}  // namespace xt
