/* The heap this process holds, counted for music_bench: glibc lets a program replace malloc
 * and its kin, so these take every allocation of the program and of the libraries it loads
 * (libvorbis, libFLAC, FFmpeg) and hand it on to glibc's own functions. What a block
 * counts is what glibc gave for it (its usable size). */
#define _GNU_SOURCE
#include "heap_count.h"

#include <errno.h>
#include <malloc.h>
#include <stddef.h>

void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
void __libc_free(void* block);

static long long g_heapNow, g_heapPeak;

static void* Counted(void* block)
{
    if (block) {
        g_heapNow += (long long)malloc_usable_size(block);
        if (g_heapNow > g_heapPeak)
            g_heapPeak = g_heapNow;
    }
    return block;
}

static void Uncount(void* block)
{
    if (block)
        g_heapNow -= (long long)malloc_usable_size(block);
}

void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* valloc(size_t size) { return Counted(__libc_valloc(size)); }
void* pvalloc(size_t size) { return Counted(__libc_pvalloc(size)); }

int posix_memalign(void** out, size_t alignment, size_t size)
{
    void* block = Counted(__libc_memalign(alignment, size));
    if (!block)
        return ENOMEM;
    *out = block;
    return 0;
}

/* A failed realloc leaves the old block where it was, and counted. */
void* realloc(void* block, size_t size)
{
    long long before = block ? (long long)malloc_usable_size(block) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        g_heapNow -= before;
        Counted(moved);
    }
    return moved;
}

void free(void* block)
{
    Uncount(block);
    __libc_free(block);
}

long long HeapInUse(void) { return g_heapNow; }

long long HeapPeak(void) { return g_heapPeak; }

void ResetHeapPeak(void) { g_heapPeak = g_heapNow; }
