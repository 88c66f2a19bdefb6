/// \file
/// The export attributes of the library's public declarations, and the language it needs.
///
/// Every public header includes this one first, by a path relative to itself, so that the
/// headers find each other wherever they lie: in the sources, installed under <prefix>/include/quil
/// (taken as <quil.h> with -I<prefix>/include/quil, or as <quil/quil.h> with -I<prefix>/include or
/// from /usr/include), or unpacked from a package.
///
/// A static library is declared with QUIL_STATIC_DEFINE (its CMake target and quil.pc give it);
/// without it the declarations are those of the shared library: exported while it is built,
/// imported (on Windows) by its users.
#pragma once

#if defined(_MSVC_LANG) ? _MSVC_LANG < 202002L : !defined(__cplusplus) || __cplusplus < 202002L
#error "QUIL needs C++20: compile with -std=c++20 (or later)"
#else

#if defined(QUIL_STATIC_DEFINE)
#define QUIL_EXPORT
#define QUIL_NO_EXPORT
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(quil_EXPORTS)
#define QUIL_EXPORT __declspec(dllexport)
#else
#define QUIL_EXPORT __declspec(dllimport)
#endif
#define QUIL_NO_EXPORT
#else
#define QUIL_EXPORT __attribute__((visibility("default")))
#define QUIL_NO_EXPORT __attribute__((visibility("hidden")))
#endif

#endif
