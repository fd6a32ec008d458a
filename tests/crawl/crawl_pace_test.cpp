#include "crawl/crawl_pace.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

// A simulated machine: the counter moves on by fixed amounts when the crawl sleeps and when
// it draws a frame; Escape goes down after a given number of frames.
struct Machine {
    std::int64_t frequency = 1000000; // counts a second: a tick is 10,000 counts
    std::int64_t now = 5000000;
    std::int64_t perSleep = 1000;     // 1 ms
    std::int64_t perFrame = 0;
    int escapeAfterFrames = -1;
    int failingFrame = -1;

    std::vector<std::int32_t> frames;
    std::vector<std::int64_t> showTimes; // the counter when each frame was shown
    std::int64_t sleeps = 0;

    static bool Escape(void* c)
    {
        auto* m = static_cast<Machine*>(c);
        return m->escapeAfterFrames >= 0 && static_cast<int>(m->frames.size()) >= m->escapeAfterFrames;
    }
    static std::int64_t Counter(void* c) { return static_cast<Machine*>(c)->now; }
    static void Sleep(void* c)
    {
        auto* m = static_cast<Machine*>(c);
        m->now += m->perSleep;
        ++m->sleeps;
    }
    static bool Show(void* c, std::int32_t scroll)
    {
        auto* m = static_cast<Machine*>(c);
        if (static_cast<int>(m->frames.size()) == m->failingFrame)
            return false;
        m->frames.push_back(scroll);
        m->showTimes.push_back(m->now);
        m->now += m->perFrame;
        return true;
    }

    // Runs a crawl of the given number of lines; returns the time it took in ticks.
    double Run(std::int32_t lines)
    {
        CrawlPace pace;
        std::int64_t start = now;
        StartCrawlPace(pace, frequency, now, lines);
        CrawlLoopHooks hooks = {this, Escape, Counter, Sleep, Show};
        RunCrawlLoop(pace, hooks);
        return frequency / kTicksPerSecond == 0 ? 0 : double(now - start) / (frequency / kTicksPerSecond);
    }
};

// A text of L lines ends after 28 L + 1 steps of five ticks with a frame for every position
// (an empty text draws one), the machine's sleeps overshooting by less than one. A tick that
// is not a whole number of sleeps (1,234,567 counts a second, sleeps of 7,777 counts) carries
// its fractions over: lost ones would stretch the crawl. Without a counter every pass is one
// tick: four passes gather ticks and sleep, the fifth draws and sleeps.
TEST(CrawlPaceTest, TextOfLLinesEndsAfter28LPlusOneStepsWithAFrameForEveryPosition)
{
    const struct {
        std::int64_t frequency, perSleep;
        std::int32_t lines;
    } cases[] = {{1000000, 1000, 0}, {1000000, 1000, 1}, {1000000, 1000, 3}, {1000000, 1000, 59}, {1234567, 7777, 5}, {0, 0, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frequency << " counts a second, " << c.lines << " lines");
        Machine m;
        m.frequency = c.frequency;
        m.perSleep = c.perSleep;
        double ticks = m.Run(c.lines);
        const std::int32_t limit = 28 * c.lines;
        ASSERT_EQ(m.frames.size(), static_cast<std::size_t>(limit + 1));
        for (std::int32_t i = 0; i <= limit; ++i)
            ASSERT_EQ(m.frames[i], i);
        if (c.frequency == 0) {
            EXPECT_EQ(m.sleeps, 5 * (limit + 1) - 1) << "the last frame ends the crawl without a sleep";
            continue;
        }
        EXPECT_GE(ticks, 5.0 * (limit + 1));
        EXPECT_LT(ticks, 5.0 * (limit + 1) + double(c.perSleep) * kTicksPerSecond / c.frequency + 1e-9);
    }
}

TEST(CrawlPaceTest, SlowMachineDropsFramesWithoutSlowingThePace)
{
    Machine m;
    m.perFrame = 137000; // 137 ms a frame: almost three steps
    const std::int64_t start = m.now, tick = m.frequency / kTicksPerSecond;
    m.Run(10);
    ASSERT_GE(m.frames.size(), 2u);
    EXPECT_LT(m.frames.size(), 281u / 2) << "frames are dropped";
    EXPECT_EQ(m.frames[0], 0);
    // After each frame the text stands where 20 steps a second put it at that moment: the
    // next frame shows the whole steps of the time elapsed until this one.
    for (std::size_t i = 0; i + 1 < m.frames.size(); ++i) {
        std::int64_t steps = (m.showTimes[i] - start) / tick / kTicksPerStep;
        EXPECT_EQ(m.frames[i + 1], steps) << "frame " << i + 1;
    }
    std::int64_t lastSteps = (m.showTimes.back() - start) / tick / kTicksPerStep;
    EXPECT_GT(lastSteps, 280) << "the last frame takes the step past the limit";
    EXPECT_LE(m.frames.back(), 280);
    EXPECT_LT(m.showTimes.back() - start, (5 * 281 + 14) * tick) << "and comes within one frame of it";
}

// Escape held from the film ends the crawl before its first frame, Escape later after the
// frames shown, and so does a frame that cannot be shown.
TEST(CrawlPaceTest, EscapeOrAFrameThatCannotBeShownEndsTheCrawl)
{
    for (auto [escapeAfter, failing, shown] : {std::tuple{0, -1, 0u}, {12, -1, 12u}, {-1, 4, 4u}}) {
        Machine m;
        m.escapeAfterFrames = escapeAfter;
        m.failingFrame = failing;
        m.Run(10);
        EXPECT_EQ(m.frames.size(), shown) << escapeAfter << " " << failing;
    }
}

} // namespace
