#include "Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <utility>

#include <unistd.h>

namespace bench {
namespace {

const char* WhoName(Who who) {
    switch (who) {
    case Who::Quil: return "quil";
    case Who::Plain: return "plain";
    case Who::SingleCalls: return "single-calls";
    case Who::Eigen: return "eigen";
    case Who::EigenFixed: return "eigen-fixed";
    case Who::EigenClosedForm: return "eigen-closed-form";
    case Who::OpenBLAS: return "openblas";
    case Who::OpenBLASRowMajor: return "lapacke-row-major";
    case Who::Ceiling: return "ceiling";
    }
    return "?";
}

bool IsPeer(Who who) {
    return who == Who::Eigen || who == Who::EigenFixed || who == Who::EigenClosedForm ||
           who == Who::OpenBLAS || who == Who::OpenBLASRowMajor;
}

// Three significant digits in a unit that suits.
std::string Time(double s) {
    if (s < 0.0) return "—";
    char buf[32];
    const double scaled = s < 1e-6 ? s * 1e9 : s < 1e-3 ? s * 1e6 : s < 1.0 ? s * 1e3 : s;
    const char* unit = s < 1e-6 ? "ns" : s < 1e-3 ? "µs" : s < 1.0 ? "ms" : "s";
    const int decimals = scaled < 10.0 ? 2 : scaled < 100.0 ? 1 : 0;
    std::snprintf(buf, sizeof buf, "%.*f %s", decimals, scaled, unit);
    return buf;
}

std::string Number(double x, int decimals) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, x);
    return buf;
}

// How fast the library ran against a peer: 2.00× is twice the peer's speed.
std::string Ratio(double peer, double quil) {
    if (peer <= 0.0 || quil <= 0.0) return "—";
    return Number(peer / quil, 2) + "×";
}

class Figures {
public:
    Figures(const std::vector<Entry>& entries, const Collector& results)
        : entries_(entries), results_(results) {}

    // Seconds per call, or per matrix of a stack.
    double Seconds(const std::string& table, const std::string& routine, Who who, unsigned n,
                   unsigned threads = 1) const {
        for (const Entry& e : entries_)
            if (e.table == table && e.who == who && e.n == n && e.threads == threads &&
                (e.routine == routine || (IsPeer(who) && e.routine.empty()))) {
                const double s = results_.Seconds(e.Name());
                return s < 0.0 ? s : s / e.count;
            }
        return -1.0;
    }
    // The fastest of the peers beside a table's routines at order n.
    double FastestPeer(const std::string& table, unsigned n) const {
        double best = -1.0;
        for (Who who : {Who::Eigen, Who::EigenFixed, Who::OpenBLAS, Who::OpenBLASRowMajor}) {
            const double s = Seconds(table, "", who, n);
            if (s > 0.0 && (best < 0.0 || s < best)) best = s;
        }
        return best;
    }
    double Flops(const std::string& table, const std::string& routine, unsigned n) const {
        for (const Entry& e : entries_)
            if (e.table == table && e.routine == routine && e.n == n) return e.flops;
        return 0.0;
    }
    double Gflops(const std::string& table, const std::string& routine, Who who, unsigned n) const {
        const double s = Seconds(table, routine, who, n);
        const double f = IsPeer(who) ? FlopsOfTable(table, n) : Flops(table, routine, n);
        return s > 0.0 && f > 0.0 ? f / s / 1e9 : -1.0;
    }

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    double FlopsOfTable(const std::string& table, unsigned n) const {
        for (const Entry& e : entries_)
            if (e.table == table && e.n == n && IsPeer(e.who)) return e.flops;
        return 0.0;
    }

    const std::vector<Entry>& entries_;
    const Collector& results_;
};

std::string Gf(double g) { return g < 0.0 ? "—" : Number(g, g < 10.0 ? 2 : 1); }

void Table(std::ostringstream& out, const Figures& f, const std::string& table, const char* about) {
    out << "## " << table << "\n\n" << about << "\n\n";
    out << "| Routine | n | QUIL | GFLOP/s | plain loops | Eigen | Eigen 4×4 | OpenBLAS | LAPACKE row-major "
           "| QUIL's speed ÷ fastest peer's |\n";
    out << "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n";
    std::vector<std::string> routines;
    for (const Entry& e : f.Entries())
        if (e.table == table && e.who == Who::Quil && e.threads == 1 &&
            std::find(routines.begin(), routines.end(), e.routine) == routines.end())
            routines.push_back(e.routine);
    for (const std::string& routine : routines) {
        for (const Entry& e : f.Entries()) {
            if (e.table != table || e.routine != routine || e.who != Who::Quil || e.threads != 1)
                continue;
            const unsigned n = e.n;
            const double quil = f.Seconds(table, routine, Who::Quil, n);
            out << "| `" << routine << "` | " << n << " | " << Time(quil) << " | "
                << Gf(f.Gflops(table, routine, Who::Quil, n)) << " | "
                << Time(f.Seconds(table, routine, Who::Plain, n)) << " | "
                << Time(f.Seconds(table, "", Who::Eigen, n)) << " | "
                << Time(f.Seconds(table, "", Who::EigenFixed, n)) << " | "
                << Time(f.Seconds(table, "", Who::OpenBLAS, n)) << " | "
                << Time(f.Seconds(table, "", Who::OpenBLASRowMajor, n)) << " | "
                << Ratio(f.FastestPeer(table, n), quil) << " |\n";
        }
    }
    out << "\n";
}

// The routines on every thread beside themselves on one and beside OpenBLAS on as many.
void ThreadsTable(std::ostringstream& out, const Figures& f, unsigned threads) {
    const std::string t = std::to_string(threads);
    out << "## Every core\n\nThe routines that divide their work over threads, on " << t
        << " threads, beside themselves on one and beside OpenBLAS on " << t << " (dgemm, dgetrf, "
           "dgetrf + dgetri, column-major). Every result has the same bits on any number of "
           "threads.\n\n"
        << "| Routine | n | QUIL, 1 thread | QUIL, " << t << " threads | speed-up | OpenBLAS, 1 thread | "
        << "OpenBLAS, " << t << " threads | QUIL's speed ÷ OpenBLAS's, " << t << " threads |\n"
        << "|---|--:|--:|--:|--:|--:|--:|--:|\n";
    for (const Entry& e : f.Entries()) {
        if (e.who != Who::Quil || e.threads != threads || e.table == "Stacks") continue;
        const double one = f.Seconds(e.table, e.routine, Who::Quil, e.n);
        const double many = f.Seconds(e.table, e.routine, Who::Quil, e.n, threads);
        const double blasOne = f.Seconds(e.table, "", Who::OpenBLAS, e.n);
        const double blasMany = f.Seconds(e.table, "", Who::OpenBLAS, e.n, threads);
        out << "| `" << e.routine << "` | " << e.n << " | " << Time(one) << " | " << Time(many)
            << " | " << Ratio(one, many) << " | " << Time(blasOne) << " | " << Time(blasMany) << " | "
            << Ratio(blasMany, many) << " |\n";
    }
    out << "\n";
}

// The stack routines, per matrix of a stack, beside a loop of their single routine and beside
// Eigen's fixed-size matrices in a loop.
void StacksTable(std::ostringstream& out, const Figures& f, unsigned threads) {
    const std::string t = std::to_string(threads);
    out << "## Stacks\n\nThe routines of `routines/Stacks.h` on stacks of " << kStackSize
        << " matrices, time per matrix: on one thread, on " << t
        << " threads, and beside a loop of the single routine over the same matrices (each "
           "copied into a record first, as a caller holding a stack must) and Eigen's "
           "fixed-size `Matrix<double, n, n>` in a loop over the same data: "
           "`PartialPivLU` with its `determinant()`, its log10 |u(i,i)| sum, its `solve(b)` and "
           "its `rcond()`, `inverse()` and the product (the closed-form `determinant()` of the "
           "4 × 4 beside it). Every matrix of a stack has the bits of its single routine.\n\n"
        << "| Routine | n | stack, 1 thread | stack, " << t << " threads | speed-up | single calls | "
        << "stack ÷ single calls | Eigen fixed-size | Eigen closed form | QUIL's speed ÷ Eigen's |\n"
        << "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n";
    for (const Entry& e : f.Entries()) {
        if (e.table != "Stacks" || e.who != Who::Quil || e.threads != 1) continue;
        const double one = f.Seconds(e.table, e.routine, Who::Quil, e.n);
        const double many = f.Seconds(e.table, e.routine, Who::Quil, e.n, threads);
        const double single = f.Seconds(e.table, e.routine, Who::SingleCalls, e.n);
        const double fixed = f.Seconds(e.table, e.routine, Who::EigenFixed, e.n);
        out << "| `" << e.routine << "` | " << e.n << " | " << Time(one) << " | " << Time(many)
            << " | " << Ratio(one, many) << " | " << Time(single) << " | " << Ratio(single, one)
            << " | " << Time(fixed) << " | "
            << Time(f.Seconds(e.table, e.routine, Who::EigenClosedForm, e.n)) << " | "
            << Ratio(fixed, one) << " |\n";
    }
    out << "\n";
}

struct Target {
    std::string what;
    std::string needed;  // the least ratio that meets it
    std::string figure;
    bool measured;
    bool met;
};

}  // namespace

std::string Entry::Name() const {
    const std::string whose = routine.empty()     ? std::string(WhoName(who))
                              : who == Who::Quil ? routine
                                                 : routine + " (" + WhoName(who) + ")";
    return table + "/" + whose + "/" + std::to_string(n) +
           (threads > 1 ? "/threads:" + std::to_string(threads) : "");
}

// In colour only on a terminal.
Collector::Collector() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

void Collector::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
        const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
        const std::string name = run.run_name.function_name;
        auto it = best_.find(name);
        if (it == best_.end() || seconds < it->second) best_[name] = seconds;
    }
}

double Collector::Seconds(const std::string& name) const {
    const auto it = best_.find(name);
    return it == best_.end() ? -1.0 : it->second;
}

std::string Document(const std::vector<Entry>& entries, const Collector& results,
                     const Setting& setting) {
    const Figures f(entries, results);
    const unsigned threads = setting.threads;
    const std::string many = std::to_string(threads);
    std::ostringstream out;
    out << "# Performance\n\n"
        << "Written by `make bench` (the program in `bench/`). Every routine runs on one thread "
           "beside Eigen 3.4 and OpenBLAS (through CBLAS and LAPACKE, on one thread too), and then "
           "the routines that divide their work over threads run on every thread the process may "
           "use beside OpenBLAS on as many. Each figure is the time per call of the fastest of three "
           "repetitions.\n\n"
        << "The machine's load average before and after the run is given below: where it is well "
           "above the thread count, other work shared the cores and the absolute times are noisy; "
           "the ratios within one run are what count.\n\n"
        << "Every QUIL figure is for results identical, bit for bit, to the plain loops (the "
           "\"plain loops\" column), on every number of threads, which the tests check on every "
           "path.\n\n"
        << "- Processor: " << setting.processor << "\n"
        << "- QUIL's kernels: the " << setting.path << " path, chosen at run time, with a "
        << setting.tile << "; the plain loops at orders too small for blocking to pay\n"
        << "- Threads: " << many << " for the every-core runs (the cores this process may use, or "
           "`QUIL_NUM_THREADS`); one elsewhere\n"
        << "- Compiler: " << setting.compiler << ", -O2, no -march (QUIL, Eigen and this program alike)\n"
        << "- OpenBLAS: " << setting.blas << "\n"
        << "- Run: " << setting.started << "; load average before " << setting.loadBefore
        << ", after " << setting.loadAfter << "\n\n";

    // The most a core does with separate multiplications and additions: what a product with the
    // plain loop's bits can reach.
    const double mulAdd512 = f.Gflops("Ceiling", "512-bit multiply, then add", Who::Ceiling, 0);
    const double mulAdd256 = f.Gflops("Ceiling", "256-bit multiply, then add", Who::Ceiling, 0);
    const double fma = f.Gflops("Ceiling", "512-bit fused multiply-add", Who::Ceiling, 0);
    const double ceiling = std::max(mulAdd512, mulAdd256);

    // The targets, decided by the figures of this run.
    std::vector<Target> targets;
    for (unsigned n : {256u, 512u, 1024u}) {
        const double mul = f.Gflops("Product", "MulMtrxNN", Who::Quil, n);
        const double obj = f.Gflops("Product", "SMtrxNN a * b", Who::Quil, n);
        const bool measured = ceiling > 0 && mul > 0 && obj > 0;
        targets.push_back({"The product at n = " + std::to_string(n) +
                               " at least 90 % of the bit-identical ceiling",
                           "0.90×",
                           measured ? "`MulMtrxNN` " + Number(mul / ceiling, 2) + "×, `SMtrxNN` " +
                                          Number(obj / ceiling, 2) + "× (" + Gf(ceiling) + " GFLOP/s)"
                                    : "—",
                           measured, measured && mul >= 0.9 * ceiling && obj >= 0.9 * ceiling});
    }
    // LAPACK's routines are judged by their faster, column-major call; the row-major call that
    // a caller with row-major data would make through LAPACKE is shown beside it.
    const auto lapack = [&](const std::string& what, const std::string& table,
                            const std::string& routine, unsigned n, double allowance,
                            unsigned t = 1) {
        const double quil = f.Seconds(table, routine, Who::Quil, n, t);
        const double col = f.Seconds(table, "", Who::OpenBLAS, n, t);
        const double row = f.Seconds(table, "", Who::OpenBLASRowMajor, n, t);
        std::string figure = Ratio(col, quil);
        if (row > 0) figure += " (row-major: " + Ratio(row, quil) + ")";
        targets.push_back({what, Number(1.0 / allowance, 2) + "×", figure, quil > 0 && col > 0,
                           quil > 0 && col > 0 && quil <= allowance * col});
    };
    const std::string onMany = threads > 1 ? ", " + many + " threads each" : "";
    for (unsigned n : {512u, 1024u}) {
        const std::string at = " at n = " + std::to_string(n);
        lapack("`DetNN2`" + at + " no slower than dgetrf", "Determinant", "DetNN2", n, 1.0);
        lapack("`DetLog10`" + at + " no slower than dgetrf", "Log-determinant", "DetLog10", n, 1.0);
        lapack("`InvMtrxNN`" + at + " no slower than dgetrf + dgetri", "Inverse", "InvMtrxNN", n, 1.0);
        if (threads > 1) {
            lapack("`DetNN2`" + at + " no slower than dgetrf" + onMany, "Determinant", "DetNN2", n, 1.0,
                   threads);
            lapack("`DetLog10`" + at + " no slower than dgetrf" + onMany, "Log-determinant",
                   "DetLog10", n, 1.0, threads);
            lapack("`InvMtrxNN`" + at + " no slower than dgetrf + dgetri" + onMany, "Inverse",
                   "InvMtrxNN", n, 1.0, threads);
        }
    }
    for (unsigned n : {256u, 512u}) {
        const double quil = f.Seconds("Full pivoting", "DetNN", Who::Quil, n);
        const double eigen = f.Seconds("Full pivoting", "", Who::Eigen, n);
        targets.push_back({"`DetNN` at n = " + std::to_string(n) + " at least 1.5× Eigen's FullPivLU",
                           "1.50×", Ratio(eigen, quil), quil > 0 && eigen > 0,
                           quil > 0 && eigen > 0 && eigen >= 1.5 * quil});
    }
    if (threads > 1) {
        const double needed = 0.9 * threads;
        for (const auto& [table, routine] : {std::pair<const char*, const char*>{"Product", "MulMtrxNN"},
                                             {"Determinant", "DetNN2"},
                                             {"Inverse", "InvMtrxNN"}}) {
            const double one = f.Seconds(table, routine, Who::Quil, 1024);
            const double all = f.Seconds(table, routine, Who::Quil, 1024, threads);
            targets.push_back({"`" + std::string(routine) + "` at n = 1024 on " + many +
                                   " threads at least " + Number(needed, 1) + "× its one-thread speed",
                               Number(needed, 2) + "×", Ratio(one, all), one > 0 && all > 0,
                               one > 0 && all > 0 && one >= needed * all});
        }
    }
    // The small orders, where the kernels leave the work to the plain loops or barely begin: no
    // slower than the plain loops, within the few per cent that separate two runs of the same
    // code here.
    for (unsigned n : {4u, 16u}) {
        std::string figure;
        bool measured = true, met = true;
        for (const auto& [table, routine] : {std::pair<const char*, const char*>{"Product", "MulMtrxNN"},
                                             {"Determinant", "DetNN2"},
                                             {"Full pivoting", "DetNN"},
                                             {"Inverse", "InvMtrxNN"}}) {
            const double quil = f.Seconds(table, routine, Who::Quil, n);
            const double plain = f.Seconds(table, routine, Who::Plain, n);
            measured = measured && quil > 0 && plain > 0;
            met = met && quil > 0 && plain > 0 && plain >= 0.95 * quil;
            figure += std::string(figure.empty() ? "" : ", ") + "`" + routine + "` " + Ratio(plain, quil);
        }
        targets.push_back({"At n = " + std::to_string(n) + " no slower than the plain loops", "0.95×",
                           figure, measured, measured && met});
    }
    lapack("`DetNN2` at n = 4 no slower than LAPACKE's dgetrf", "Determinant", "DetNN2", 4, 1.0);
    lapack("`InvMtrxNN` at n = 4 no slower than LAPACKE's dgetrf + dgetri", "Inverse", "InvMtrxNN", 4,
           1.0);
    // The sizes most code uses: QUIL's time at most 1.25 times Eigen's dynamic-size matrices'.
    constexpr double kSmallAllowance = 1.25;
    const auto besideEigen = [&](const std::string& subject, const std::string& table,
                                 const std::string& routine, unsigned n) {
        const double quil = f.Seconds(table, routine, Who::Quil, n);
        const double eigen = f.Seconds(table, "", Who::Eigen, n);
        const bool measured = quil > 0 && eigen > 0;
        const std::string what =
            subject + " at most " + Number(kSmallAllowance, 2) + "× Eigen's time";
        targets.push_back({what, Number(1.0 / kSmallAllowance, 2) + "×", Ratio(eigen, quil),
                           measured, measured && quil <= kSmallAllowance * eigen});
    };
    for (unsigned n : {4u, 16u})
        for (const auto& [table, routine] : {std::pair<const char*, const char*>{"Product", "MulMtrxNN"},
                                             {"Product", "SMtrxNN a * b"},
                                             {"Determinant", "DetNN2"},
                                             {"Log-determinant", "DetLog10"},
                                             {"Inverse", "InvMtrxNN"},
                                             {"Solve", "SolveMtrxNN"}})
            besideEigen("`" + std::string(routine) + "` at n = " + std::to_string(n), table,
                        routine, n);
    for (unsigned n : {64u, 512u})
        besideEigen("`SMtrxNN c = a + b - a` at n = " + std::to_string(n), "Expression",
                    "SMtrxNN c = a + b - a", n);
    // More threads are never slower than one: every routine that divides its work, at every
    // order run on every thread, within the few per cent that separate two runs.
    if (threads > 1) {
        std::string figure;
        bool measured = false, met = true;
        for (const Entry& e : f.Entries()) {
            if (e.who != Who::Quil || e.threads != threads || e.table == "Stacks") continue;
            const double one = f.Seconds(e.table, e.routine, Who::Quil, e.n);
            const double all = f.Seconds(e.table, e.routine, Who::Quil, e.n, threads);
            if (one <= 0 || all <= 0) continue;
            measured = true;
            met = met && one >= 0.98 * all;
            figure += std::string(figure.empty() ? "" : ", ") + "`" + e.routine + "` " +
                      std::to_string(e.n) + " " + Ratio(one, all);
        }
        targets.push_back({"Every divided routine on " + many +
                               " threads at least 0.98× its one-thread speed, at every order",
                           "0.98×", measured ? figure : "—", measured, measured && met});
    }
    lapack("`InvMtrxNN` at n = 1024 at least 0.8× dgetrf + dgetri (stretch)", "Inverse",
           "InvMtrxNN", 1024, 1.25);
    // The stacks: per matrix against Eigen's fixed-size matrices, against a loop of the single
    // routine, and on the threads.
    const auto stackBeside = [&](const std::string& routine, unsigned n, Who who, double allowance,
                                 const std::string& what) {
        const double quil = f.Seconds("Stacks", routine, Who::Quil, n);
        const double peer = f.Seconds("Stacks", routine, who, n);
        const bool measured = quil > 0 && peer > 0;
        targets.push_back({"`" + routine + "` at n = " + std::to_string(n) + " " + what,
                           Number(1.0 / allowance, 2) + "×", Ratio(peer, quil), measured,
                           measured && quil <= allowance * peer});
    };
    for (unsigned n : kStackOrders) {
        stackBeside("DetNN2Stack", n, Who::EigenFixed, 1.5, "at most 1.5× Eigen's fixed-size `PartialPivLU` determinant");
        stackBeside("SolveMtrxNNStack", n, Who::EigenFixed, 2.5, "at most 2.5× Eigen's fixed-size `PartialPivLU` solve");
        stackBeside("InvMtrxNNStack", n, Who::EigenFixed, 2.5, "at most 2.5× Eigen's fixed-size `inverse()`");
        stackBeside("MulMtrxNNStack", n, Who::EigenFixed, 1.5, "at most 1.5× Eigen's fixed-size product");
    }
    {
        std::string figure;
        bool measured = false, met = true;
        for (const Entry& e : f.Entries()) {
            if (e.table != "Stacks" || e.who != Who::Quil || e.threads != 1 || e.n != 4) continue;
            const double quil = f.Seconds("Stacks", e.routine, Who::Quil, 4);
            const double single = f.Seconds("Stacks", e.routine, Who::SingleCalls, 4);
            if (quil <= 0 || single <= 0) continue;
            measured = true;
            met = met && single >= 8.0 * quil;
            figure += std::string(figure.empty() ? "" : ", ") + "`" + e.routine + "` " + Ratio(single, quil);
        }
        targets.push_back({"Every stack routine at n = 4 at least 8× a loop of its single routine",
                           "8.00×", measured ? figure : "—", measured, measured && met});
    }
    if (threads > 1) {
        const unsigned two = std::min(threads, 2u);
        std::string figure;
        bool measured = false, met = true;
        for (const Entry& e : f.Entries()) {
            if (e.table != "Stacks" || e.who != Who::Quil || e.threads != two || e.n != 4) continue;
            const double one = f.Seconds("Stacks", e.routine, Who::Quil, 4);
            const double many = f.Seconds("Stacks", e.routine, Who::Quil, 4, two);
            if (one <= 0 || many <= 0) continue;
            measured = true;
            met = met && one >= 1.7 * many;
            figure += std::string(figure.empty() ? "" : ", ") + "`" + e.routine + "` " + Ratio(one, many);
        }
        targets.push_back({"Every stack routine at n = 4 on " + std::to_string(two) +
                               " threads at least 1.7× its one-thread speed",
                           "1.70×", measured ? figure : "—", measured, measured && met});
    }
    out << "## Targets\n\nQUIL's speed as a multiple of the peer's (or of the ceiling, or of itself), "
           "in this run. LAPACK's routines are judged by their column-major call, which needs no "
           "transposition; the row-major call through LAPACKE is shown in brackets.\n\n"
        << "| Target | Needed | QUIL's speed ÷ the peer's | Met |\n|---|--:|--:|---|\n";
    for (const Target& t : targets)
        out << "| " << t.what << " | " << t.needed << " | " << t.figure << " | "
            << (!t.measured ? "not measured" : t.met ? "yes" : "**no**") << " |\n";
    out << "\n";

    // What separate multiplications and additions allow, against fused multiply-adds.
    const double dgemm = f.Gflops("Product", "", Who::OpenBLAS, 512);
    const double ours = f.Gflops("Product", "MulMtrxNN", Who::Quil, 512);
    if (ceiling > 0.0 && dgemm > 0.0 && ours > 0.0) {
        out << "## What keeping the bits allows\n\n"
            << "A result that must equal the plain loop's bits cannot use fused multiply-adds: "
               "each product is rounded before it is added. Measured on this core, with "
               "independent chains held in registers:\n\n"
            << "| Operations | GFLOP/s |\n|---|--:|\n";
        if (mulAdd512 > 0.0) out << "| 512-bit multiply, then add | " << Gf(mulAdd512) << " |\n";
        if (mulAdd256 > 0.0) out << "| 256-bit multiply, then add | " << Gf(mulAdd256) << " |\n";
        if (fma > 0.0) out << "| 512-bit fused multiply-add (what OpenBLAS uses) | " << Gf(fma) << " |\n";
        out << "\nThe bit-identical ceiling is the faster of the separate ones, " << Gf(ceiling)
            << " GFLOP/s";
        if (fma > 0.0)
            out << ", " << Number(ceiling / fma, 2) << "× the fused one on this processor";
        out << ". OpenBLAS's dgemm reached " << Gf(dgemm) << " GFLOP/s at n = 512; `MulMtrxNN` "
            << "reached " << Gf(ours) << " GFLOP/s, " << Number(100.0 * ours / ceiling, 0)
            << " % of the bit-identical ceiling.\n\n";
    }

    out << "## Notes\n\n"
        << "- The routines take their work storage (copies, factors, pivots, scales) from "
           "blocks each thread keeps from one call to the next, and ask the heap only when those "
           "are too small; only what the caller receives is a fresh record (`InvMtrxNN`'s "
           "result: three zero-filled heap requests, which at n = 4 cost about as much as the "
           "arithmetic). `MulMtrxNN` forms its product in its result unless the result is an "
           "operand. LAPACKE's `dgetrf` works in place; Eigen's dynamic-size decompositions "
           "allocate their own.\n"
        << "- `InvMtrxNN` solves each column of the inverse on its own, each element in the order "
           "of the plain back substitution: a row waits for the row below it, so the solved "
           "columns stream from the second-level cache once per row, where `dgetri` inverts the "
           "triangular factor in blocks.\n"
        << "- The decomposition divides its products and its forward substitutions over the "
           "threads; each leaf of a few columns (the pivot search, the row exchanges and the "
           "scaling) runs on one thread, and so does the balancing of `InvMtrxNN`, which bounds "
           "their speed-up.\n"
        << "- The decomposition divides its work over the threads only where its first product "
           "is four times a part's work (from about n = 320), since its leaves run on one thread.\n"
        << "- The object layer's results are one heap request each, their elements unset until "
           "the operator writes them; `c = a + b - a` still passes over the elements twice, "
           "where Eigen's expression passes once.\n"
        << "- `DetNNbyRef` (cofactors) has no fast path; its figures are the plain loops'.\n"
        << "- Each time is the fastest of three repetitions; the ratios move by a few per cent "
           "from run to run on this machine.\n\n";

    Table(out, f, "Product",
          "`MulMtrxNN` (into its result) and the `SMtrxNN` product (a new "
          "object) beside Eigen's `c.noalias() = a * b` and `cblas_dgemm`. 2n³ operations.");
    Table(out, f, "Determinant",
          "`DetNNbyRef` (cofactors, n ≤ 8) and `DetNN2` (LU of a copy) beside Eigen's "
          "`partialPivLu().determinant()` (`determinant()` for the fixed 4×4) and LAPACKE's "
          "`dgetrf` on a copy with the product of the diagonal. 2n³/3 operations.");
    Table(out, f, "Full pivoting",
          "`DetNN` (column scaling, then elimination with full pivoting, each step's update and "
          "next pivot search in one pass) beside Eigen's `fullPivLu().determinant()` (the Eigen "
          "column). 2n³/3 operations.");
    Table(out, f, "Log-determinant",
          "`DetLog10` beside the sum of log10 |u(i,i)| after Eigen's `partialPivLu()` and after "
          "`dgetrf`. 2n³/3 operations.");
    Table(out, f, "Inverse",
          "`InvMtrxNN` (balancing, LU, one solve per column) beside Eigen's `inverse()` and "
          "LAPACKE's `dgetrf` + `dgetri` on a copy. 2n³ operations.");
    Table(out, f, "Solve",
          "`SolveMtrxNN` (balancing, LU, one solve) beside Eigen's `partialPivLu().solve(b)`. "
          "2n³/3 + 2n² operations.");
    Table(out, f, "Expression",
          "The object layer's `c = a + b - a` into an existing `SMtrxNN` (`a + b` makes its "
          "result, `- a` takes it over as a temporary operand, and it is moved into c) beside "
          "Eigen's `c = a + b - a`, which forms no temporary. 2n² operations.");
    if (threads > 1) ThreadsTable(out, f, threads);
    StacksTable(out, f, std::min(threads, 2u));
    return out.str();
}

}  // namespace bench
