// The bits archive: what every public routine gives on a fixed corpus of matrices, written as
// the hex of each double's bits. tests/bits/archive.txt holds what the build that wrote it gave;
// test_bits.cpp compares every build's results with it, and bits_archive writes it anew (make
// bits-archive). Members of the object layer that give a routine's bits are compared with that
// routine's line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bits {

// One result of this build.
struct Result {
    std::string key;             // "<routine> <matrix> <order>": the archive line's first words
    std::string via;             // how it was computed: the suffix base, and the member when
                                 // an object member gave the routine's bits
    std::string payload;         // the rest of the archive's line
    std::vector<double> values;  // the values, a matrix row by row, for the messages
    std::uint32_t order = 0;     // a matrix's order (0 for a vector or numbers)
};

// Every result on the corpus, in both suffix bases (one key each time), the routines' first.
std::vector<Result> Compute();

// The archive's text: its header, then the payload of each key's first result.
std::string ArchiveText(const std::vector<Result>& results);

// The digest of a run of doubles, as the payloads write it (8 hex digits).
std::string Digest(const double* values, std::uint32_t count, std::uint32_t stride);

// A double as the payloads write it: the 16 hex digits of its bits, or "nan" for any NaN.
std::string Hex(double x);

}  // namespace bits
