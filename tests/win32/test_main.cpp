#include <gtest/gtest.h>

#include "runtime.hpp"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    const corvalis::win32::Runtime runtime;
    return RUN_ALL_TESTS();
}
