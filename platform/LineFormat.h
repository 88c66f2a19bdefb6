// printf-style formatting into a std::string of whatever length the text needs.
//
// A report line holds numbers printed with "%10lf", whose field widens as far as the value
// asks: DBL_MAX alone takes over 300 characters. Measuring first and then formatting into a
// buffer of exactly that size never truncates and never overruns.
//
// The report is one fixed text in every locale: the formatting follows the "C" locale whatever
// the process's locale is (Qt sets it from the environment when it starts, and a German one
// would print 0,500000). The "C" locale is set for the formatting thread alone, for the call.
#pragma once

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <string>

#if !defined(_WIN32)
#include <locale.h>  // newlocale, uselocale
#endif

// vsnprintf in the "C" locale; with a null buffer and size 0 it measures.
inline int VFormatInCLocale(char* buffer, std::size_t size, const char* format,
                            std::va_list args) {
#if defined(_WIN32)
    static const _locale_t c = _create_locale(LC_ALL, "C");
    if (c == nullptr) return std::vsnprintf(buffer, size, format, args);
    if (buffer == nullptr) return _vscprintf_l(format, c, args);
    return _vsnprintf_l(buffer, size, format, c, args);
#else
    // Made once and kept for the life of the process. Should it not be had, the process's
    // locale is all there is.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
    const locale_t previous = c != locale_t{} ? uselocale(c) : locale_t{};
    const int length = std::vsnprintf(buffer, size, format, args);
    if (previous != locale_t{}) uselocale(previous);
    return length;
#endif
}

[[gnu::format(printf, 1, 2)]] inline std::string FormatLine(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = VFormatInCLocale(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length));
        // The terminating null goes into the string's own spare slot past size().
        VFormatInCLocale(text.data(), text.size() + 1, format, again);
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
