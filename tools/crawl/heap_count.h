/* The heap this process holds, and the most it has held since the last reset (heap_count.c). */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

long long HeapInUse(void);
long long HeapPeak(void);
void ResetHeapPeak(void);

#ifdef __cplusplus
}
#endif
