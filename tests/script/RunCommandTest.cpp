// The set-up script's run command on a fresh machine, with stand-ins for the package tools, cmake
// and the program that record how they were called: it installs what the program needs and
// builds the program alone, so the first window does not wait for every test to be built.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

using orvane::test::TempFolder;

namespace {

void WriteTool(const std::filesystem::path& path, const std::string& body) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(RunCommand, InstallsWhatTheProgramNeedsAndBuildsTheProgramAlone) {
    TempFolder root("orvane-run-command");
    const std::filesystem::path tree = root.Path() / "tree", tools = root.Path() / "bin", log = root.Path() / "log";
    std::filesystem::create_directories(tree);
    std::filesystem::copy_file(std::filesystem::path(ORVANE_SOURCE_DIR) / "build.sh", tree / "build.sh");
    // Every package counts as installed; each tool writes one line: its name and arguments.
    WriteTool(tools / "dpkg-query", "echo \"dpkg-query $*\" >> \"$RUN_LOG\"\nprintf 'install ok installed'\n");
    for (const char* tool : {"apt-get", "sudo", "cmake"}) {
        WriteTool(tools / tool, std::string("echo \"") + tool + " $*\" >> \"$RUN_LOG\"\n");
    }
    WriteTool(tree / "build" / "ui" / "orvane", "echo started >> \"$RUN_LOG\"\n");

    const char* path = std::getenv("PATH");
    const std::string command = "RUN_LOG='" + log.string() + "' PATH='" + tools.string() + ":" +
                                (path != nullptr ? path : "/usr/bin:/bin") + "' bash '" + (tree / "build.sh").string() +
                                "' run";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::vector<std::string> packages, configures, builds;
    for (const std::string& line : Lines(log)) {
        if (line.rfind("dpkg-query ", 0) == 0) packages.push_back(line.substr(line.rfind(' ') + 1));
        if (line.rfind("cmake -S", 0) == 0) configures.push_back(line);
        if (line.rfind("cmake --build", 0) == 0) builds.push_back(line);
    }
    auto asked = [&packages](const std::string& name) {
        for (const std::string& package : packages) {
            if (package == name) return true;
        }
        return false;
    };
    for (const char* needed : {"cmake", "qt6-base-dev", "libsqlite3-dev", "libcurl4-openssl-dev", "nettle-dev"}) {
        EXPECT_TRUE(asked(needed)) << needed;
    }
    for (const char* testsOnly : {"libgtest-dev", "libbenchmark-dev", "radicale", "xandikos", "xvfb", "clang"}) {
        EXPECT_FALSE(asked(testsOnly)) << testsOnly;
    }
    ASSERT_EQ(configures.size(), 1u);
    EXPECT_TRUE(Contains(configures[0], "-DORVANE_BUILD_TESTS=OFF")) << configures[0];
    EXPECT_TRUE(Contains(configures[0], "-DORVANE_BUILD_BENCH=OFF")) << configures[0];
    ASSERT_EQ(builds.size(), 1u);
    EXPECT_TRUE(Contains(builds[0], "--target orvane")) << builds[0];
    ASSERT_FALSE(Lines(log).empty());
    EXPECT_EQ(Lines(log).back(), "started");
}
