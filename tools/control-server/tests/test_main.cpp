#include <gtest/gtest.h>

#include <string_view>

#include "server_process.hpp"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    constexpr std::string_view server_option = "--server=";
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument.starts_with(server_option))
            corvalis::control_server::testing_support::server_program() =
                argument.substr(server_option.size());
    }
    return RUN_ALL_TESTS();
}
