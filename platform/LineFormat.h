// printf-style formatting into a std::string of whatever length the text needs.
//
// A report line holds numbers printed with "%10lf", whose field widens as far as the value
// asks: DBL_MAX alone takes over 300 characters. Measuring first and then formatting into a
// buffer of exactly that size never truncates and never overruns.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

[[gnu::format(printf, 1, 2)]] inline std::string FormatLine(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        // The terminating null goes into the string's own spare slot past size().
        std::vsnprintf(text.data(), text.size() + 1, format, again);
    }
    va_end(again);
    return text;
}

// The start of a row of a labelled block, up to and including its bar: the label and " |" on
// the first row, and on every other row "%*c |" with the label's length, so that the bars
// line up ("%*c" writes one space even for an empty label).
inline std::string BlockPrefix(const char* label, bool firstRow) {
    if (firstRow) return std::string(label) + " |";
    return FormatLine("%*c |", static_cast<int>(std::char_traits<char>::length(label)), ' ');
}
