// The end-to-end driver: test_e2e.exe <path of Covelin.exe> [<path of the installer>] [gtest flags]
#include "E2eDriver.h"

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: test_e2e <Covelin.exe> [gtest options]\n");
        return 2;
    }
    e2e::builtCovelin = e2e::ToWindowsPath(argv[1]);
    if (GetFileAttributesW(e2e::builtCovelin.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "test_e2e: no program at %s\n", argv[1]);
        return 2;
    }
    if (argc > 2 && argv[2][0] != '-')
        e2e::builtSetup = e2e::ToWindowsPath(argv[2]);
    return RUN_ALL_TESTS();
}
