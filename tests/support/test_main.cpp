#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Every test process runs with HOME, the XDG folders and the registry file in a private folder,
// and with a session bus address where no bus listens, so nothing a test runs reaches the
// desktop's session bus (notifications of test calls on the developer's screen).
int main(int argc, char** argv)
{
    testing_support::TempDir home;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.Path().c_str(), 1);
    ::setenv("KESTRIUM_REGISTRY", (home / "registry.reg").c_str(), 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (home / "no-session-bus").string()).c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
