// Every test process registers the module first, so any test can run alone.
#include <gtest/gtest.h>

#include <cstdio>

#include "test_support.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) {
        int rc = ovtest::RegisterServer();
        if (rc != 0) {
            std::fprintf(stderr, "registering %s failed: %d\n", ovtest::DllPath().c_str(), rc);
            return 1;
        }
    }
    ovtest::ComApartment apartment;
    return RUN_ALL_TESTS();
}
