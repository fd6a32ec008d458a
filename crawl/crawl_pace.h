// The crawl's pace: 20 scroll steps a second taken from a high-resolution counter in
// hundredths of a second. A slow machine drops frames rather than slowing the text.
#pragma once

#include <cstdint>

// Scroll units per line: a line of 27 scanlines plus one unit, so the last line is gone
// from the lowest row before the crawl ends.
constexpr std::int32_t kScrollUnitsPerLine = 28;
constexpr std::int64_t kTicksPerSecond = 100;
constexpr std::int64_t kTicksPerStep = 5;

struct CrawlPace {
    std::int64_t TickLength;     // counter counts per tick; 0 when there is no counter
    std::int64_t Reference;      // counter value up to which time has been turned into ticks
    std::int64_t PendingTicks;   // ticks not yet turned into scroll steps
    std::int32_t ScrollPosition; // text units; the position of the next frame
    std::int32_t ScrollLimit;    // the crawl ends once the position has passed it
};

// The platform under the crawl's loop. Each function gets the context pointer.
struct CrawlLoopHooks {
    void* Context;
    bool (*EscapeDown)(void* context);
    std::int64_t (*Counter)(void* context);
    void (*Sleep)(void* context); // yields for a millisecond
    // Draws and shows the frame of the scroll position; false when the screen cannot be
    // drawn on, which ends the crawl.
    bool (*ShowFrame)(void* context, std::int32_t scrollPosition);
};

void StartCrawlPace(CrawlPace& pace, std::int64_t counterFrequency, std::int64_t counterNow,
                    std::int32_t lineCount);

// Turns the time since the last pass into ticks; true when enough have gathered for a frame.
bool CrawlFrameDue(CrawlPace& pace, std::int64_t counterNow);

// Moves the text on by the gathered steps after a frame; false once it has passed the limit.
bool AdvanceCrawl(CrawlPace& pace);

// Runs the crawl's loop until Escape, the end of the text or a frame that cannot be shown.
void RunCrawlLoop(CrawlPace& pace, const CrawlLoopHooks& hooks);
