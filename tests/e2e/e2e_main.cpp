// Test entry of the end-to-end tests: "--env NAME=VALUE" arguments set the
// environment that names the batch builds under test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--env") != 0)
            continue;
        const std::string assignment = argv[++i];
        const std::size_t equals = assignment.find('=');
        if (equals != std::string::npos)
            setenv(assignment.substr(0, equals).c_str(), assignment.substr(equals + 1).c_str(), 1);
    }
    return RUN_ALL_TESTS();
}
