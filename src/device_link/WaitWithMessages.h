#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class TComponent;

// Keeps the main thread responsive while an operation waits: processes Qt events and serves
// hand-overs until Ms milliseconds have passed on TickCount(), or the counter wrapped.
//
// With a TManualClock installed the wait cannot let time pass by itself: it processes what is
// pending once, then advances the manual clock by what remains of Ms and returns. A test thus
// sees the same order of events as a real wait, without sleeping. Under a TVirtualTime the wait
// lets its time pass there, running what is due meanwhile.
//
// A wait ends at once, without letting time pass, once the program is ending (AbortWaits, or
// the application quit) or while a component waits for its destruction (DestroyAfterWaits).
void WaitWithMessages(std::uint32_t Ms);

// Anything a wait processes may ask to end the objects whose code waits further down the stack.
// Such ends are deferred: they run once the outermost wait has returned and its callers are
// back in the event loop, so no caller ever resumes on a freed object.

// How many WaitWithMessages calls are running on the main thread (0 outside any wait).
std::int32_t WaitDepth();
// Runs fn at once when no wait is running, else right after the outermost wait has returned
// (from the event loop, once the wait's callers have returned too). A worker's call that is
// running (a timer tick, a port's dispatch) defers it the same way, as its caller resumes after
// it. What the event loop never gets to run, it runs when the application's loop ends.
void RunAfterWaits(std::function<void()> fn);
// Makes every running and future wait return at once (the program is ending).
void AbortWaits();
// Whether the program is ending: AbortWaits ran, or the application quit during a wait. Work that
// would go on after its waits (a repair's reopen) stops instead.
bool WaitsAborted();

// The one safe way to free a component that may be waiting or dispatching on the stack: it is
// marked as being destroyed at once (its guarded handlers do nothing, every running wait ends)
// and freed through RunAfterWaits.
void DestroyAfterWaits(std::unique_ptr<TComponent> component);
