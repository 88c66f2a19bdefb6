/// \file
/// SError: the common base of the object layer's nested exception classes (SVect::RangeErr,
/// SMtrx::AllocErr, ...), so that catch (const std::exception&) and catch (const SError&) take
/// any of them.
///
/// what() names the class and says what went wrong. The text is formed when the exception is
/// made, in a buffer inside the exception, so that neither making it nor what() asks the heap for
/// anything: an AllocErr is thrown precisely when the heap has nothing left. A text too long for
/// the buffer is cut short.
#pragma once

#include <exception>

#include "../QuilExport.h"

namespace quil {

/// The common base of the object layer's exceptions. Its type information is exported, so a
/// shared build's exceptions are caught by type in the calling program.
class QUIL_EXPORT SError : public std::exception {
public:
    /// The one-line text: the class, the operation when known, and what went wrong.
    const char* what() const noexcept override { return Text; }

    /// \cond INTERNAL
protected:
    /// Begins the text with "<error>: ", or "<error> in <operation>: " when an operation is
    /// given.
    explicit SError(const char* error, const char* operation = nullptr) noexcept;

    /// Appends s to the text. A line break in s becomes a space, so the text is one line.
    void Put(const char* s) noexcept;
    /// Appends u in decimal.
    void Put(unsigned u) noexcept;
    /// Appends "<which>subscript <index> is out of range".
    void PutOutOfRange(const char* which, unsigned index) noexcept;
    /// Appends " (valid: lo..hi)" for the count valid subscripts from b (" (valid: none)" for
    /// none).
    void PutValid(unsigned b, unsigned count) noexcept;

private:
    char Text[160];
    unsigned Len = 0;
    /// \endcond
};

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SError;
#endif
