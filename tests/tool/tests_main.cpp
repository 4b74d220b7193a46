// Runs every test class registered in this test program.
#include <QApplication>

#include "test_registry.h"

namespace talvern::test {

std::vector<TestRun>& registeredTests() {
    static std::vector<TestRun> tests;
    return tests;
}

}  // namespace talvern::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& run : talvern::test::registeredTests()) failed += run(argc, argv) != 0 ? 1 : 0;
    return failed == 0 ? 0 : 1;
}
