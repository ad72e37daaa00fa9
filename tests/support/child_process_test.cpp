// The child-process runner the suites start korvel, korvel-sweep and
// korvel-sim with: what it reports must be what the child did, and no child
// may stall a test or outlive it.
#include "child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

namespace korvel::testing {
namespace {

const char* const kShell = "/bin/sh";

TEST(ChildProcess, CollectsBothStreamsAndTheExitCodeApart) {
    const ChildResult r = RunChild(kShell, {"-c", "echo out; echo err >&2; exit 3"}, 10000);
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
}

TEST(ChildProcess, AddedEnvironmentReachesTheChildAlongWithTheInherited) {
    ::setenv("KORVEL_CHILD_INHERITED", "kept", 1);
    const ChildResult r =
        RunChild(kShell, {"-c", "echo $KORVEL_CHILD_ADDED $KORVEL_CHILD_INHERITED"}, 10000,
                 {"KORVEL_CHILD_ADDED=added"});
    ::unsetenv("KORVEL_CHILD_INHERITED");
    EXPECT_EQ(r.out, "added kept\n");
}

TEST(ChildProcess, AGivenEntryReplacesTheInheritedOneOfTheSameName) {
    // Not through a shell, which would take the last of two entries: the C
    // library's getenv (as the sanitizer runtimes and preload libraries read
    // their options) takes the first.
    ::setenv("KORVEL_CHILD_BOTH", "inherited", 1);
    const ChildResult r =
        RunChild("/usr/bin/printenv", {"KORVEL_CHILD_BOTH"}, 10000, {"KORVEL_CHILD_BOTH=given"});
    ::unsetenv("KORVEL_CHILD_BOTH");
    EXPECT_EQ(r.out, "given\n");
}

TEST(ChildProcess, AChildThatOutlivesTheBoundIsKilledAndSaidToBe) {
    // The child would run for a minute; the bound is far shorter.
    const ChildResult r = RunChild(kShell, {"-c", "echo early; exec sleep 60"}, 300);
    EXPECT_TRUE(r.timedOut);
    EXPECT_FALSE(r.exited);
    EXPECT_EQ(r.signal, SIGKILL);
    EXPECT_EQ(r.out, "early\n");
}

TEST(ChildProcess, AProgramThatCannotStartIsNoExit) {
    const ChildResult r = RunChild("/nonexistent/korvel-nothing", {}, 1000);
    EXPECT_FALSE(r.started);
    EXPECT_FALSE(r.exited);
    ChildProcess child;
    EXPECT_FALSE(child.Start("/nonexistent/korvel-nothing", {}));
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.Wait(), -1);
}

TEST(ChildProcess, WaitsForALineAndKeepsWhatCameBeforeIt) {
    ChildProcess child;
    ASSERT_TRUE(child.Start(kShell, {"-c", "echo starting; echo listening on x; read line"},
                            ChildOutput::Capture));
    EXPECT_TRUE(child.WaitForOutput("listening on", 10000));
    EXPECT_TRUE(child.Running());
    child.Kill();
    EXPECT_FALSE(child.Running());

    // Output that ends without the line is no reason to go on waiting.
    ASSERT_TRUE(child.Start(kShell, {"-c", "echo something else"}, ChildOutput::Capture));
    EXPECT_FALSE(child.WaitForOutput("listening on", 60000));
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, ExitCodesOfWaitAndTerminate) {
    ChildProcess child;
    ASSERT_TRUE(child.Start(kShell, {"-c", "exit 64"}));
    EXPECT_EQ(child.Wait(), 64);
    EXPECT_FALSE(child.Running());
    // A child that ends by a signal has no exit code.
    ASSERT_TRUE(child.Start(kShell, {"-c", "kill -9 $$"}));
    EXPECT_EQ(child.Wait(), -1);
    // SIGTERM with the default action: no exit code either.
    ASSERT_TRUE(child.Start(kShell, {"-c", "exec sleep 60"}));
    EXPECT_EQ(child.Terminate(), -1);
    // One that handles SIGTERM and exits cleanly reports its code.
    ASSERT_TRUE(child.Start(kShell,
                            {"-c", "trap 'exit 0' TERM; echo ready; while :; do sleep 1; done"},
                            ChildOutput::Capture));
    ASSERT_TRUE(child.WaitForOutput("ready", 10000));
    EXPECT_EQ(child.Terminate(), 0);
}

}  // namespace
}  // namespace korvel::testing
