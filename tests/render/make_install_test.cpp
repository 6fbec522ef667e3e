// `make install` as the top Makefile would run it (make -n prints the commands without running
// them): it builds only the module it installs and never installs packages.

#include <gtest/gtest.h>

#include "render_test_support.h"

TEST(MakeInstall, BuildsTheModuleAloneWithoutInstallingPackages) {
    rtest::ScratchDir dir;
    const rtest::RunResult r = rtest::runProgram(
        "make", {"-n", "-C", SOURCE_ROOT, "install", "BUILD=" + dir / "build", "VST_DIR=" + dir / "vst"},
        dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("install-deps"), std::string::npos) << r.out;
    // An unconfigured folder is configured without the tests, and the one target is built.
    EXPECT_NE(r.out.find("-DVORNHALT_TESTS=OFF"), std::string::npos) << r.out;
    const std::size_t build = r.out.find("cmake --build");
    ASSERT_NE(build, std::string::npos) << r.out;
    const std::string line = r.out.substr(build, r.out.find('\n', build) - build);
    EXPECT_TRUE(line.ends_with(" --target vornhalt")) << line;
}
