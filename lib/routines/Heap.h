/// \file
/// Heap allocation and the library's one error report.
///
/// GetHeap hands out zero-filled blocks and reports every failure before it returns null;
/// FreeHeap gives them back. Neither throws and neither keeps state between calls.
#pragma once

#include <cstdint>

#include "../QuilExport.h"

namespace quil {

/// True when the environment variable "windir" is defined (its value does not matter). Asked
/// afresh on every report.
QUIL_EXPORT bool IsWinEnv();

/// Reports that bytes could not be allocated: "failed to allocate %u byte(s) in heap area.\r\n",
/// in a modal box titled "QUIL Lib. Error Message" (MessageBoxA of report/MessageBox.h) when
/// IsWinEnv() is true, on the standard error stream otherwise. Returns when the report is made.
QUIL_EXPORT void AllocErrMsg(std::uint32_t bytes);

/// Releases old (may be null), then returns a zero-filled block of count elements of size bytes
/// each, or null. The byte count count * size wraps modulo 2^32; when it is 0 the request is
/// reported and refused without an allocation attempt. Every failure is reported with that
/// wrapped count (AllocErrMsg). The old block is gone whether or not the new one was obtained.
[[nodiscard]] QUIL_EXPORT void* GetHeap(void* old, std::uint32_t count, std::uint32_t size);

/// Returns p to the heap unless it is null; always returns null, for the caller to store.
QUIL_EXPORT void* FreeHeap(void* p);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::IsWinEnv;
using quil::AllocErrMsg;
using quil::GetHeap;
using quil::FreeHeap;
#endif
