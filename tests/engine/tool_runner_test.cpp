#include "builder_error.h"
#include "interruption.h"
#include "temporary_folder.h"
#include "tool_runner.h"

#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <system_error>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;

// Shell snippets stand in for tools; an empty root runs paths as given.
class ToolRunner : public ::testing::Test {
protected:
    void SetUp() override { setenv("BUNDLEKILN_TOOL_ROOT", "", 1); }
    void TearDown() override { unsetenv("BUNDLEKILN_TOOL_ROOT"); }
};

/// What the tool printed, "failed|" + the failure's text, or "cannot start".
std::string outcome(const std::string& tool, const std::vector<std::string>& arguments = {}) {
    try {
        return run(tool, arguments);
    } catch (const BuilderError& error) {
        return "failed|" + error.message();
    } catch (const std::system_error&) {
        return "cannot start";
    }
}

TEST_F(ToolRunner, ReturnsBothStreamsInOrderAndFailsWithThemLessTheFinalLineBreaks) {
    const std::string silent = "failed|Command failed: /bin/sh";
    const std::pair<const char*, std::string> cases[] = {
        {"echo out; echo err >&2; echo out2", "out\nerr\nout2\n"},
        {"printf 'only stderr' >&2", "only stderr"},
        // More than the pipe holds: read while the tool runs.
        {"head -c 8000000 /dev/zero | tr '\\0' x; echo done >&2", std::string(8000000, 'x') + "done\n"},
        {"printf ' it\\nbroke\\r\\n\\n'; exit 1", "failed| it\nbroke"},
        {"printf '   '; exit 1", "failed|   "},
        {"exit 3", silent},
        {"echo; exit 3", silent},
        {"kill -9 $$", silent},
        // Output that is not UTF-8 reads as empty: overlong, surrogate, past U+10FFFF, cut short.
        {"printf 'plain \\342\\200\\246 \\360\\237\\230\\200'", "plain \u2026 \U0001F600"},
        {"printf '\\377\\376'", ""},
        {"printf '\\300\\257'; exit 1", silent},
        {"printf '\\355\\240\\200'", ""},
        {"printf '\\364\\220\\200\\200'", ""},
        {"printf '\\342\\200'", ""},
    };
    for (const auto& [script, expected] : cases)
        EXPECT_TRUE(outcome("/bin/sh", {"-c", script}) == expected) << script;
    EXPECT_EQ(outcome("/no/such/tool"), "cannot start");
    EXPECT_EQ(outcome("/etc/hostname"), "cannot start");
    EXPECT_NO_THROW(runIgnoringFailure("/no/such/tool", {}));
    EXPECT_NO_THROW(runIgnoringFailure("/bin/sh", {"-c", "echo no; exit 1"}));
}

TEST_F(ToolRunner, ArgumentsPassUnchangedInTheWorkingFolderAndToolsResolveInTheRoot) {
    TemporaryFolder root;
    EXPECT_EQ(run("/bin/sh", {"-c", "printf '%s|' \"$@\"; pwd", "sh", "a b", "$HOME", "*"}, root.path()),
              "a b|$HOME|*|" + root.path().string() + "\n");
    testing::writeFile(root / "usr/bin/silent", "#!/bin/sh\nexit 4\n", 0755);
    setenv("BUNDLEKILN_TOOL_ROOT", root.path().c_str(), 1);
    EXPECT_EQ(outcome("/usr/bin/silent"),
              "failed|Command failed: " + root.path().string() + "/usr/bin/silent");
}

// A stop ends the running tool's whole process group, and no later run, not
// even a best-effort one, goes on. In a child process, as a stop request
// lasts for the rest of the process; the child reports on standard error.
TEST_F(ToolRunner, AStopEndsTheToolsWholeGroupAndEveryLaterRun) {
    const auto stopDuringARun = [] {
        TemporaryFolder folder;
        const std::string pidFile = (folder / "pid").string();
        signal(SIGUSR1, [](int) { requestInterruption(SIGTERM); });
        // The tool leaves a process in its group that does not hold the output
        // open, then has the stop requested.
        const std::string script = "sh -c 'echo $$ > \"$0\"; exec sleep 60' \"$0\" >/dev/null 2>&1 & "
                                   "while [ ! -s \"$0\" ]; do sleep 0.01; done; kill -USR1 $PPID; wait";
        const auto stops = [](const std::function<void()>& work) {
            try {
                work();
            } catch (const BuildInterrupted&) {
                return "stopped";
            }
            return "went on";
        };
        std::cerr << stops([&] {
            run("/bin/sh", {"-c", script, pidFile});
        }) << ", " << stops([] { runIgnoringFailure("/bin/true", {}); });
        usleep(200000);
        const pid_t left = std::stoi(testing::readFile(pidFile));
        const std::string state = testing::readFile("/proc/" + std::to_string(left) + "/stat");
        std::cerr << ", group alive " << (!state.empty() && state.find(") Z") == std::string::npos);
        kill(left, SIGKILL);
        std::_Exit(0);
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(stopDuringARun(), ::testing::ExitedWithCode(0), "stopped, stopped, group alive 0");
}

} // namespace
} // namespace bundlekiln
