// Makes a chosen heap request of the library fail.
//
// Test executables link with -Wl,--wrap=calloc, so every calloc the library makes passes
// through here; the rest of the time calls go straight to the real calloc (or to the
// sanitizer's, in the sanitized build).
#pragma once

namespace failheap {

// From now on, the n-th request (n >= 1) fails; counting starts at 0.
void FailAt(long n);

// Counts requests from now on without failing any.
void Count();

// Stops counting and failing.
void Disarm();

// Requests made since the last FailAt or Count.
long Requests();

// True when the armed failure has been delivered.
bool Failed();

// Disarms when the scope ends, so an assertion that returns early leaves the heap working.
struct Guard {
    Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard() { Disarm(); }
};

}  // namespace failheap
