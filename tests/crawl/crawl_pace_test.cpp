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

// An empty text draws one frame.
TEST(CrawlPaceTest, TextOfLLinesEndsAfter28LPlusOneStepsWithAFrameForEveryPosition)
{
    for (std::int32_t lines : {0, 1, 3, 59}) {
        Machine m;
        double ticks = m.Run(lines);
        std::int32_t limit = 28 * lines;
        ASSERT_EQ(m.frames.size(), static_cast<std::size_t>(limit + 1)) << lines << " lines";
        for (std::int32_t i = 0; i <= limit; ++i)
            ASSERT_EQ(m.frames[i], i);
        // The last step is taken after 5 x (28 L + 1) ticks; the machine's 1 ms sleeps
        // overshoot by less than one sleep.
        EXPECT_GE(ticks, 5.0 * (limit + 1)) << lines << " lines";
        EXPECT_LT(ticks, 5.0 * (limit + 1) + 0.1 + 1e-9) << lines << " lines";
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

TEST(CrawlPaceTest, FractionsOfTicksCarryOver)
{
    // A frequency whose tick is not a whole number of sleeps: 1,234,567 counts a second,
    // a tick of 12,345, and sleeps of 7,777 counts. Lost fractions would stretch the crawl.
    Machine m;
    m.frequency = 1234567;
    m.perSleep = 7777;
    double ticks = m.Run(5);
    EXPECT_EQ(m.frames.size(), 141u);
    EXPECT_GE(ticks, 5.0 * 141);
    EXPECT_LT(ticks, 5.0 * 141 + 7777.0 / 12345 + 1e-9);
}

TEST(CrawlPaceTest, WithoutACounterEveryPassIsOneTick)
{
    Machine m;
    m.frequency = 0;
    m.perSleep = 0;
    m.Run(2);
    ASSERT_EQ(m.frames.size(), 57u);
    // Four passes gather ticks and sleep, the fifth draws and sleeps: five sleeps a step.
    EXPECT_EQ(m.sleeps, 5 * 57 - 1) << "the last frame ends the crawl without a sleep";
    for (std::int32_t i = 0; i <= 56; ++i)
        EXPECT_EQ(m.frames[i], i);
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

TEST(CrawlPaceTest, ArithmeticOfOnePass)
{
    CrawlPace pace;
    StartCrawlPace(pace, 1000000, 100, 2);
    EXPECT_EQ(pace.TickLength, 10000);
    EXPECT_EQ(pace.ScrollLimit, 56);
    EXPECT_FALSE(CrawlFrameDue(pace, 100 + 9999)) << "less than a tick";
    EXPECT_FALSE(CrawlFrameDue(pace, 100 + 40000 + 5000)) << "four ticks";
    EXPECT_EQ(pace.Reference, 100 + 40000) << "the half tick stays behind the reference";
    EXPECT_TRUE(CrawlFrameDue(pace, 100 + 120000 + 1));
    EXPECT_EQ(pace.PendingTicks, 12);
    EXPECT_TRUE(AdvanceCrawl(pace));
    EXPECT_EQ(pace.ScrollPosition, 2);
    EXPECT_EQ(pace.PendingTicks, 2);

    EXPECT_TRUE(CrawlFrameDue(pace, 100 + 120000 + 54 * 50000));
    EXPECT_TRUE(AdvanceCrawl(pace)) << "position 56 is the limit itself";
    EXPECT_EQ(pace.ScrollPosition, 56);
    EXPECT_TRUE(CrawlFrameDue(pace, 100 + 120000 + 55 * 50000));
    EXPECT_FALSE(AdvanceCrawl(pace));
}

} // namespace
