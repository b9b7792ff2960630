// Runs the doctest cases of one test program inside a live application object,
// with the GDI ledger watching every case; a rule broken anywhere fails the program.
#define DOCTEST_CONFIG_IMPLEMENT
#include <doctest.h>

#include <cstdio>

#include "Forms.h"
#include "GdiLedger.h"

namespace {

// Tells the ledger which test case is running.
struct LedgerNaming : doctest::IReporter {
    explicit LedgerNaming(const doctest::ContextOptions&) {}
    void report_query(const doctest::QueryData&) override {}
    void test_run_start() override {}
    void test_run_end(const doctest::TestRunStats&) override { GdiLedger::SetContext("(shut-down)"); }
    void test_case_start(const doctest::TestCaseData& test) override { GdiLedger::SetContext(test.m_name); }
    void test_case_reenter(const doctest::TestCaseData&) override {}
    void test_case_end(const doctest::CurrentTestCaseStats&) override {}
    void test_case_exception(const doctest::TestCaseException&) override {}
    void subcase_start(const doctest::SubcaseSignature&) override {}
    void subcase_end() override {}
    void log_assert(const doctest::AssertData&) override {}
    void log_message(const doctest::MessageData&) override {}
    void test_case_skipped(const doctest::TestCaseData&) override {}
};
REGISTER_LISTENER("gdi-ledger", 1, LedgerNaming);

// Prints the rules broken; true when there were none.
bool LedgerClean() {
    const auto breaches = GdiLedger::Breaches();
    for (const std::string& breach : breaches) std::fprintf(stderr, "GDI rule broken: %s\n", breach.c_str());
    return breaches.empty();
}

}  // namespace

int main(int argc, char** argv) {
    GdiLedger::Install();
    int result;
    {
        ApplicationScope application;
        doctest::Context context(argc, argv);
        result = context.run();
    }
    if (!LedgerClean() && result == 0) result = 1;
    return result;
}
