// The results of one benchmark run, gathered as they come, and the performance document made
// from them.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

// The stacks' size and orders.
constexpr unsigned kStackSize = 10000;
constexpr unsigned kStackOrders[] = {4, 8, 16};

// Who computed a figure: the library (fast or plain path) or one of its peers.
// OpenBLAS is called column-major on the row-major data (no transposition); OpenBLASRowMajor
// is LAPACKE's row-major call, which transposes into a buffer of its own and back. Beside DetNN
// (the "Full pivoting" table) Eigen is its FullPivLU.
// Beside the stack routines: SingleCalls is a loop of the single routine over the same matrices,
// EigenFixed Eigen's fixed-size matrices in a loop, EigenClosedForm their closed-form
// determinant().
enum class Who {
    Quil,
    Plain,
    SingleCalls,
    Eigen,
    EigenFixed,
    EigenClosedForm,
    OpenBLAS,
    OpenBLASRowMajor,
    Ceiling
};

// One timed thing: a routine of the library or a peer's counterpart, at one order. A peer named
// with no routine stands beside every routine of its table; one named with a routine, beside
// that routine alone.
struct Entry {
    std::string table;    // "Product", "Determinant", ...
    std::string routine;  // the library's routine (peers: the routine they stand beside)
    Who who;
    unsigned n;
    double flops;         // floating-point operations per call; 0 where a count means nothing
    unsigned threads = 1; // threads the library and OpenBLAS may use
    unsigned count = 1;   // matrices per call (a stack's); times are given per matrix
    std::string Name() const;
};

// Prints every run as the console reporter does and keeps the fastest repetition of each.
class Collector : public benchmark::ConsoleReporter {
public:
    Collector();
    void ReportRuns(const std::vector<Run>& runs) override;
    // Seconds per call, or a negative value when the benchmark did not run.
    double Seconds(const std::string& name) const;

private:
    std::map<std::string, double> best_;
};

struct Setting {
    std::string processor;
    std::string path;       // the vector path the library chose
    std::string tile;       // and its product's tile
    unsigned threads = 1;   // the threads of the every-core runs (1: none were made)
    std::string compiler;
    std::string blas;       // OpenBLAS's build and kernels
    std::string started;    // UTC time
    std::string loadBefore, loadAfter;
};

// The document in Markdown: the setting, the targets with the figures that decide them, and a
// table per kind of routine.
std::string Document(const std::vector<Entry>& entries, const Collector& results,
                     const Setting& setting);

// The accuracy notes in Markdown: the condition estimate beside LAPACK's on classic matrices.
std::string AccuracyNotes();

}  // namespace bench
