// The frame counter behind every frame-rate and start-up figure: preloaded
// into a real GLFW program (the bare loop), it must see that program's swaps,
// stamp the launch and the first swap in the right order, close its counting
// window on time, and leave its counts behind however the program ends.
#include "support/GlContext.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

using testsupport::ChildProcess;
using testsupport::ProcessOptions;
using testsupport::runShell;
using testsupport::waitUntil;

namespace {

std::map<std::string, std::uint64_t> readCounts(const std::string& path) {
    std::map<std::string, std::uint64_t> counts;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) {
            counts[line.substr(0, eq)] = std::stoull(line.substr(eq + 1));
        }
    }
    return counts;
}

std::string countsPath(const char* tag) {
    return std::string("/tmp/velmora-swapcount-") + tag + "-" + std::to_string(getpid());
}

// LD_PRELOAD splits its list at spaces and colons, which the checkout's path
// may hold: the counter is preloaded as a copy in `scratch`, under /tmp.
ProcessOptions counted(const testsupport::ScratchDir& scratch, const std::string& out,
                       const char* skip, const char* span) {
    const std::string preloaded = scratch.path() + "/swapcount.so";
    std::filesystem::copy_file(BENCH_SWAPCOUNT, preloaded);
    ProcessOptions options;
    options.env["SWAPCOUNT_OUT"] = out;
    options.env["SWAPCOUNT_SKIP"] = std::string(skip);
    options.env["SWAPCOUNT_SPAN"] = std::string(span);
    options.env["LD_PRELOAD"] = preloaded;
    return options;
}

TEST(SwapCount, CountsTheSwapsOfAGlfwProgramInItsWindowAndAtExit) {
    VELMORA_REQUIRE_DISPLAY();
    const std::string out = countsPath("window");
    std::remove(out.c_str());
    const testsupport::ScratchDir scratch;
    ChildProcess program({BENCH_LAUNCH, BENCH_BARE_LOOP, "windowed"},
                         counted(scratch, out, "0.5", "1"));
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(waitUntil(60, [&] { return readCounts(out)["window_closed"] == 1; }))
        << program.standardError();

    auto counts = readCounts(out);
    EXPECT_EQ(counts["exited"], 0u);
    EXPECT_GT(counts["launch_ns"], 0u);
    EXPECT_LT(counts["launch_ns"], counts["first_swap_ns"]);
    // The window opens half a second after the first swap and spans a second.
    EXPECT_GE(counts["window_first_ns"], counts["first_swap_ns"] + 500000000u);
    EXPECT_GE(counts["window_last_ns"] - counts["window_first_ns"], 1000000000u);
    EXPECT_LT(counts["window_last_ns"] - counts["window_first_ns"], 1500000000u);
    EXPECT_GE(counts["window_swaps"], 10u);
    EXPECT_GT(counts["swaps"], counts["window_swaps"]);
    EXPECT_GT(counts["window_cpu_ns"], 0u);
    const std::uint64_t closedWith = counts["window_swaps"];

    // Ended with Escape as a player would: the final write adds the later
    // swaps to the total but leaves the closed window as it was.
    std::string window =
        runShell("xdotool search --pid " + std::to_string(program.processId()) + " | head -n 1");
    while (!window.empty() && (window.back() == '\n' || window.back() == ' ')) {
        window.pop_back();
    }
    ASSERT_FALSE(window.empty());
    runShell("xdotool windowfocus --sync " + window + " key Escape");
    const auto status = program.waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    counts = readCounts(out);
    EXPECT_EQ(counts["exited"], 1u);
    EXPECT_EQ(counts["window_swaps"], closedWith);
    EXPECT_GE(counts["swaps"], closedWith);
    std::remove(out.c_str());
}

TEST(SwapCount, LeavesItsCountsWhenTheProgramIsTerminated) {
    VELMORA_REQUIRE_DISPLAY();
    const std::string out = countsPath("term");
    std::remove(out.c_str());
    const testsupport::ScratchDir scratch;
    ChildProcess program({BENCH_BARE_LOOP, "windowed"}, counted(scratch, out, "0", "0"));
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(waitUntil(60, [&] { return readCounts(out)["swaps"] >= 1; }));
    // Without a span the window stays open until the end.
    ASSERT_TRUE(waitUntil(60, [&] { return readCounts(out)["first_swap_ns"] > 0; }));
    testsupport::pause(0.3);
    runShell("kill -TERM " + std::to_string(program.processId()));
    const auto status = program.waitFor(30);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 128 + 15); // the signal still ends the program
    auto counts = readCounts(out);
    EXPECT_EQ(counts["exited"], 1u);
    EXPECT_EQ(counts["window_closed"], 0u);
    EXPECT_GE(counts["swaps"], 2u);
    EXPECT_EQ(counts["launch_ns"], 0u); // not started through the launcher
    std::remove(out.c_str());
}

} // namespace
