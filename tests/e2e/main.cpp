#include "Driver.h"
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: purgebox_e2e PATH_TO_PURGEBOX_EXE\n");
        return 2;
    }
    e2e::ProgramPath() = e2e::ToWindowsPath(argv[1]);
    CoInitialize(nullptr);
    return RUN_ALL_TESTS();
}
