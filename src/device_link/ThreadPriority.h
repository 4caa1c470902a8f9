#pragma once

// Priority of a worker thread (a port's event thread, a timer's thread).
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The kernel id of the calling thread, which ApplyThreadPriority takes.
int CurrentThreadId();

// Sets the scheduling niceness of thread `threadId` for `priority`. Best effort: raising a thread
// above normal needs a privilege that an ordinary user lacks, and the thread then stays normal.
void ApplyThreadPriority(int threadId, TThreadPriority priority);
