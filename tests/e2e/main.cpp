#include "Driver.h"
#include <gtest/gtest.h>
#include <algorithm>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: purgebox_e2e PATH_TO_PURGEBOX_EXE\n");
        return 2;
    }
    std::string path = argv[1];
    if (!path.empty() && path[0] == '/') { // a Unix path from the build: Wine's Z: drive
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    e2e::ProgramPath().assign(path.begin(), path.end());
    CoInitialize(nullptr);
    return RUN_ALL_TESTS();
}
