#include "builder_error.h"
#include "interruption.h"
#include "temporary_folder.h"
#include "tool_runner.h"
#include "utf8.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <system_error>

namespace bundlekiln {
namespace {

using testing::TemporaryFolder;

// Shell snippets stand in for tools; an empty root runs paths as given.
class ToolRunner : public ::testing::Test {
protected:
    void SetUp() override { setenv("BUNDLEKILN_TOOL_ROOT", "", 1); }
    void TearDown() override { unsetenv("BUNDLEKILN_TOOL_ROOT"); }

    static std::string shell(const std::string& script) { return run("/bin/sh", {"-c", script}); }

    static std::string failureOf(const std::string& script) {
        try {
            shell(script);
        } catch (const BuilderError& error) {
            return error.message();
        }
        ADD_FAILURE() << "no failure";
        return {};
    }
};

TEST_F(ToolRunner, ReturnsBothStreamsInTheOrderWritten) {
    EXPECT_EQ(shell("echo out; echo err >&2; echo out2"), "out\nerr\nout2\n");
    EXPECT_EQ(shell("printf 'only stderr' >&2"), "only stderr");
}

TEST_F(ToolRunner, FailureCarriesTheWholeOutputButItsFinalLineBreaks) {
    EXPECT_EQ(failureOf("printf ' it\\nbroke\\r\\n\\n'; exit 1"), " it\nbroke");
    EXPECT_EQ(failureOf("printf '   '; exit 1"), "   ");
}

TEST_F(ToolRunner, SilentFailureNamesTheTool) {
    EXPECT_EQ(failureOf("exit 3"), "Command failed: /bin/sh");
    EXPECT_EQ(failureOf("echo; exit 3"), "Command failed: /bin/sh");
    EXPECT_EQ(failureOf("kill -9 $$"), "Command failed: /bin/sh");
}

TEST_F(ToolRunner, OutputThatIsNotUTF8ReadsAsEmpty) {
    EXPECT_EQ(shell("printf '\\377\\376'"), "");
    EXPECT_EQ(failureOf("printf '\\300\\200'; exit 1"), "Command failed: /bin/sh");
}

TEST_F(ToolRunner, ToolThatCannotStartGivesThePlatformError) {
    EXPECT_THROW(run("/no/such/tool", {}), std::system_error);
    EXPECT_THROW(run("/etc/hostname", {}), std::system_error);
}

TEST_F(ToolRunner, ReadsOutputLargerThanThePipeHolds) {
    const std::string output = shell("head -c 8000000 /dev/zero | tr '\\0' 'x'; echo done >&2");
    EXPECT_EQ(output.size(), 8000005u);
    EXPECT_EQ(output.substr(output.size() - 5), "done\n");
}

TEST_F(ToolRunner, ArgumentsPassUnchangedAndTheWorkingFolderIsSet) {
    TemporaryFolder folder;
    EXPECT_EQ(run("/bin/sh", {"-c", "printf '%s|' \"$@\"; pwd", "sh", "a b", "$HOME", "*"}, folder.path()),
              "a b|$HOME|*|" + folder.path().string() + "\n");
}

TEST_F(ToolRunner, ToolRootPrefixesEveryToolPath) {
    TemporaryFolder root;
    testing::writeFile(root / "usr/bin/greet", "#!/bin/sh\necho hello \"$1\"\n", 0755);
    testing::writeFile(root / "usr/bin/silent", "#!/bin/sh\nexit 4\n", 0755);
    setenv("BUNDLEKILN_TOOL_ROOT", root.path().c_str(), 1);
    EXPECT_EQ(run("/usr/bin/greet", {"you"}), "hello you\n");
    try {
        run("/usr/bin/silent", {});
        FAIL();
    } catch (const BuilderError& error) {
        EXPECT_EQ(error.message(), "Command failed: " + root.path().string() + "/usr/bin/silent");
    }
}

TEST_F(ToolRunner, BestEffortRunsSwallowFailuresButNotAStop) {
    EXPECT_NO_THROW(runIgnoringFailure("/bin/sh", {"-c", "echo no; exit 1"}));
    EXPECT_NO_THROW(runIgnoringFailure("/no/such/tool", {}));
}

TEST(UTF8, AcceptsWellFormedTextAndRefusesTheRest) {
    EXPECT_TRUE(isValidUTF8("plain \xE2\x80\xA6 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUTF8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));     // surrogate
    EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80")); // past U+10FFFF
    EXPECT_FALSE(isValidUTF8("\xE2\x80"));         // cut short
}

} // namespace
} // namespace bundlekiln
