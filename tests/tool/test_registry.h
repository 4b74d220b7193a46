// Lets one QtTest program run several test classes: each test file registers
// its class with TALVERN_REGISTER_TEST, and the shared main runs them all.
#pragma once

#include <QTest>
#include <functional>
#include <vector>

namespace talvern::test {

using TestRun = std::function<int(int argc, char** argv)>;

std::vector<TestRun>& registeredTests();

template <class TestClass>
struct TestRegistration {
    TestRegistration() {
        registeredTests().push_back([](int argc, char** argv) {
            TestClass tests;
            return QTest::qExec(&tests, argc, argv);
        });
    }
};

}  // namespace talvern::test

#define TALVERN_REGISTER_TEST(TestClass) \
    static const talvern::test::TestRegistration<TestClass> registration##TestClass
