// Every test process registers the module first, so any test can run alone, and closes any
// box that no test answers.
#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The double-byte suites only mean something in code page 932; ctest runs them in a process
    // of their own with a Japanese locale (tests/CMakeLists.txt), which must take.
    const char* expectAcp = std::getenv("OV_EXPECT_ACP");
    if (expectAcp && static_cast<UINT>(std::atoi(expectAcp)) != GetACP())
        return std::fprintf(stderr, "the ANSI code page is %u, not %s: no such locale?\n", GetACP(), expectAcp), 1;
    // The code-download rows read the signed cabinet, which only ctest's SetupPage run names.
    auto& filter = ::testing::GTEST_FLAG(filter);
    if (filter == "*")
        filter = std::string(GetACP() != 932 ? "-*DoubleByteCodePage.*:" : "-") + "CodeDownloadCabinet.*";
    if (!::testing::GTEST_FLAG(list_tests) && ovtest::RegisterServer() != 0)
        return std::fprintf(stderr, "registering %s failed\n", ovtest::DllPath().c_str()), 1;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // a single-threaded apartment, as a container's
    // A box that no test answers fails the test that raised it, at once.
    ovtest::StrayBoxes stray([](const ovtest::ShownWindow& box) {
        ADD_FAILURE() << "a box that nothing answers, closed: \"" << box.title << "\": " << box.text;
    });
    return RUN_ALL_TESTS();
}
