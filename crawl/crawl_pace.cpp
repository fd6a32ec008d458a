#include "crawl/crawl_pace.h"

void StartCrawlPace(CrawlPace& pace, std::int64_t counterFrequency, std::int64_t counterNow,
                    std::int32_t lineCount)
{
    pace.TickLength = counterFrequency / kTicksPerSecond;
    pace.Reference = counterNow;
    pace.PendingTicks = 0;
    pace.ScrollPosition = 0;
    pace.ScrollLimit = static_cast<std::int32_t>(static_cast<std::int64_t>(kScrollUnitsPerLine) * lineCount);
}

// Whole ticks are taken from the elapsed time and the fraction stays behind the reference,
// so no time is lost between passes. Without a counter every pass counts as one tick.
bool CrawlFrameDue(CrawlPace& pace, std::int64_t counterNow)
{
    std::int64_t elapsed = counterNow - pace.Reference;
    if (elapsed < pace.TickLength)
        return false;
    std::int64_t ticks = pace.TickLength == 0 ? 1 : elapsed / pace.TickLength;
    pace.Reference += ticks * pace.TickLength;
    pace.PendingTicks += ticks;
    return pace.PendingTicks >= kTicksPerStep;
}

// The position may jump by several units after a slow frame; it is kept just past the
// limit at most, which ends the crawl all the same.
bool AdvanceCrawl(CrawlPace& pace)
{
    std::int64_t position = pace.ScrollPosition + pace.PendingTicks / kTicksPerStep;
    pace.PendingTicks %= kTicksPerStep;
    if (position > pace.ScrollLimit) {
        pace.ScrollPosition = pace.ScrollLimit + 1;
        return false;
    }
    pace.ScrollPosition = static_cast<std::int32_t>(position);
    return true;
}

// Each frame shows the position before its step: the first frame shows position 0, the
// last one the limit or just below it.
void RunCrawlLoop(CrawlPace& pace, const CrawlLoopHooks& hooks)
{
    for (;;) {
        if (hooks.EscapeDown(hooks.Context))
            return;
        if (!CrawlFrameDue(pace, hooks.Counter(hooks.Context))) {
            hooks.Sleep(hooks.Context);
            continue;
        }
        if (!hooks.ShowFrame(hooks.Context, pace.ScrollPosition))
            return;
        if (!AdvanceCrawl(pace))
            return;
        hooks.Sleep(hooks.Context);
    }
}
