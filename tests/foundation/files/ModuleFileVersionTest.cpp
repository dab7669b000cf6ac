#include "foundation/files/ModuleFileVersion.h"

#include <gtest/gtest.h>

#include "platform/system/Version.h"

namespace {

TEST(GetModuleFileVersion, GivesTheBuildVersionInFourWords) {
    VS_FIXEDFILEINFO info{};
    ASSERT_EQ(GetModuleFileVersion(&info), ERROR_SUCCESS);
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileVersionMS, (DWORD{ORVANE_VERSION_MAJOR} << 16) | ORVANE_VERSION_MINOR);
    EXPECT_EQ(info.dwFileVersionLS, (DWORD{ORVANE_VERSION_PATCH} << 16) | ORVANE_VERSION_BUILD);
    EXPECT_EQ(GetModuleFileVersion(nullptr), ERROR_SUCCESS);
}

}  // namespace
