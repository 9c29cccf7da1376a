#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

// Every test process runs with HOME, the XDG folders and the registry file in a private folder.
int main(int argc, char** argv)
{
    testing_support::TempDir home;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.Path().c_str(), 1);
    ::setenv("KESTRIUM_REGISTRY", (home / "registry.reg").c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
