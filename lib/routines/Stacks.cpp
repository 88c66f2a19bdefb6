// The routines over stacks of matrices: each matrix as its single routine does it, whole
// matrices shared out over the threads.
#include "routines/Stacks.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <optional>

#include "routines/Balance.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Work.h"
#include "routines/kernels/Kernels.h"
#include "routines/kernels/Threads.h"

namespace quil {

static_assert(StackDone == detail::kSmallDone && StackSingular == detail::kSmallSingular &&
                  StackRefused == detail::kSmallRefused,
              "the small orders' code writes the stacks' statuses");

namespace detail {
namespace {

// Multiply-adds that make a stack worth a thread more: fewer cost more to hand over than they
// save. The counts are whole numbers: a 32-bit x86 build would convert 64-bit counts to and from
// double on its x87 unit.
constexpr std::uint64_t kWorkPerPart = 32768;
// Multiply-adds of a run of matrices that a thread takes at a time.
constexpr std::uint64_t kWorkPerRun = 8192;

// n^2 (n + nrhs), or 2^62 where it would be more.
std::uint64_t WorkPerMatrix(std::uint32_t n, std::uint32_t nrhs) {
    constexpr std::uint64_t most = std::uint64_t{1} << 62;
    const std::uint64_t square = std::uint64_t{n} * n;
    const std::uint64_t width = std::uint64_t{n} + nrhs;
    return width != 0 && square > most / width ? most : square * width;
}

// The threads a stack is shared out over: as many as have work enough.
unsigned StackParts(std::uint64_t count, std::uint32_t n, std::uint32_t nrhs) {
    const std::uint64_t per = WorkPerMatrix(n, nrhs);
    const unsigned threads = ThreadCount();
    if (per != 0 && count > UINT64_MAX / per) return threads;
    const std::uint64_t worth = count * per / kWorkPerPart;
    return worth < 1 ? 1u : worth < threads ? static_cast<unsigned>(worth) : threads;
}

// part(begin, end, failed) for runs of matrices of a stack of count matrices of order n, taken
// in turn by parts threads, each run by one of them: a thread that starts late, or one held up
// by matrices that take the general way, leaves the runs it does not reach to the others. False
// when a run failed; the runs not yet taken are then left.
template <class Part>
bool OverParts(std::uint64_t count, std::uint32_t n, std::uint32_t nrhs, const Part& part) {
    const std::uint64_t per = WorkPerMatrix(n, nrhs);
    const std::uint64_t run = per >= kWorkPerRun ? 1u : per == 0 ? kWorkPerRun : kWorkPerRun / per;
    const std::uint64_t runs = count / run + (count % run != 0);
    std::atomic<bool> failed{false};
    std::atomic<std::uint64_t> next{0};
    ForParts(StackParts(count, n, nrhs), [&](unsigned) {
        for (std::uint64_t r; !failed.load(std::memory_order_relaxed) &&
                              (r = next.fetch_add(1, std::memory_order_relaxed)) < runs;) {
            const std::uint64_t begin = r * run;
            const std::uint64_t end = count - begin < run ? count : begin + run;
            if (!part(begin, end, failed)) failed.store(true, std::memory_order_relaxed);
        }
    });
    return !failed.load();
}

// The matrices of a stack over the threads: the small orders' code takes each run while it can
// (small(first, end) returns the first matrix it leaves), and each matrix it leaves goes the
// general way, general(block, k), with work storage of bytes had at the first such matrix of the
// run. False when that storage cannot be had (reported) or general fails.
template <class SmallWay, class GeneralWay>
bool EachMatrix(std::uint64_t count, std::uint32_t n, std::uint32_t nrhs, std::uint64_t bytes,
                const SmallWay& small, const GeneralWay& general) {
    return OverParts(count, n, nrhs, [&](std::uint64_t begin, std::uint64_t end,
                                         const std::atomic<bool>& failed) {
        std::uint64_t k = small(begin, end);
        if (k == end) return true;
        const WorkBlock block(bytes);
        if (!block) return false;
        while (k < end) {
            if (failed.load(std::memory_order_relaxed) || !general(block, k)) return false;
            k = small(k + 1, end);
        }
        return true;
    });
}

// The result of a stack routine whose arguments leave it nothing to do: false for order 0, a
// missing array, or a stack of n x n (or n x nrhs) blocks larger than the address space; true
// for an empty stack. None when there is work to do.
std::optional<bool> NothingToDo(std::uint64_t count, std::uint32_t n, std::uint32_t nrhs,
                                std::initializer_list<const void*> arrays) {
    if (n == 0) return false;
    if (count == 0) return true;
    for (const void* array : arrays)
        if (array == nullptr) return false;
    const std::uint64_t most = SIZE_MAX / sizeof(double) / n;
    if (count > most / n || (nrhs != 0 && count > most / nrhs)) return false;
    return std::nullopt;
}

std::uint8_t StatusOf(LUDcmpOutcome outcome) {
    return outcome == LUDcmpOutcome::ZeroRow     ? StackRefused
           : outcome == LUDcmpOutcome::ZeroPivot ? StackSingular
                                                 : StackDone;
}

void SetStatus(std::uint8_t* status, std::uint64_t k, std::uint8_t s) {
    if (status != nullptr) status[k] = s;
}

void Refuse(double* out, std::size_t count) {
    std::fill(out, out + count, std::numeric_limits<double>::quiet_NaN());
}

// A work record of order n over subscripts from 0 holding the n x n run a.
MtrxNN CopiedRecord(WorkCarver& carve, std::uint32_t n, const double* a) {
    MtrxNN w = carve.Matrix(n, false, false);
    std::memcpy(&w.Elem[0][0], a, std::size_t{n} * n * sizeof(double));
    return w;
}

// DetNN2Stack, or DetLog10Stack when sign is given.
bool DetStack(Path path, double* det, int* sign, std::uint8_t* status, std::uint64_t count,
              std::uint32_t n, const double* a) {
    if (const auto done = NothingToDo(count, n, 0, {det, a})) return *done;
    const std::size_t nn = std::size_t{n} * n;
    const auto small = [&](std::uint64_t first, std::uint64_t end) {
        return SmallDetRuns(path, n, first, end, a, det, sign, status);
    };
    const auto general = [&](const WorkBlock& block, std::uint64_t k) {
        WorkCarver carve(block);
        const MtrxNN w = CopiedRecord(carve, n, a + k * nn);
        LUDcmpOutcome outcome;
        det[k] = sign != nullptr ? DetLog10(path, &w, &sign[k], &outcome)
                                 : DetNN2(path, &w, &outcome);
        SetStatus(status, k, StatusOf(outcome));
        return outcome != LUDcmpOutcome::NoWork;
    };
    return EachMatrix(count, n, 0, MatrixBytes(n), small, general);
}

}  // namespace

bool DetNN2Stack(Path path, double* det, std::uint8_t* status, std::uint64_t count,
                 std::uint32_t n, const double* a) {
    return DetStack(path, det, nullptr, status, count, n, a);
}

bool DetLog10Stack(Path path, double* logdet, int* sign, std::uint8_t* status,
                   std::uint64_t count, std::uint32_t n, const double* a) {
    if (const auto done = NothingToDo(count, n, 0, {sign})) return *done;
    return DetStack(path, logdet, sign, status, count, n, a);
}

bool InvMtrxNNStack(Path path, double* ai, std::uint8_t* status, std::uint64_t count,
                    std::uint32_t n, const double* a) {
    if (const auto done = NothingToDo(count, n, 0, {ai, a})) return *done;
    const std::size_t nn = std::size_t{n} * n;
    const auto small = [&](std::uint64_t first, std::uint64_t end) {
        return SmallInverseRuns(path, n, first, end, a, ai, status);
    };
    const auto general = [&](const WorkBlock& block, std::uint64_t k) {
        double* out = ai + k * nn;
        LUDcmpOutcome outcome = LUDcmpOutcome::ZeroRow;
        if (n > 1) {  // InvMtrxNN refuses order 1
            WorkCarver carve(block);
            const MtrxNN w = CopiedRecord(carve, n, a + k * nn);
            MtrxNN inverse = carve.Matrix(n, false, false);
            outcome = InverseInto(path, &inverse, &w);
            if (outcome == LUDcmpOutcome::NoWork) return false;
            if (Decomposed(outcome)) std::memcpy(out, &inverse.Elem[0][0], nn * sizeof(double));
        }
        if (!Decomposed(outcome)) Refuse(out, nn);
        SetStatus(status, k, StatusOf(outcome));
        return true;
    };
    return EachMatrix(count, n, n, 2 * MatrixBytes(n), small, general);
}

// Each right-hand side goes through the one decomposition as SolveMtrxNN takes it.
bool SolveMtrxNNStack(Path path, double* x, std::uint8_t* status, std::uint64_t count,
                      std::uint32_t n, std::uint32_t nrhs, const double* a, const double* b) {
    const auto done =
        nrhs == 0 ? NothingToDo(count, n, 0, {a}) : NothingToDo(count, n, nrhs, {x, a, b});
    if (done) return *done;
    const std::size_t nn = std::size_t{n} * n;
    const std::size_t block = std::size_t{n} * nrhs;
    const auto small = [&](std::uint64_t first, std::uint64_t end) {
        return SmallSolveRuns(path, n, nrhs, first, end, a, b, x, status);
    };
    const auto general = [&](const WorkBlock& work, std::uint64_t k) {
        WorkCarver carve(work);
        const MtrxNN w = CopiedRecord(carve, n, a + k * nn);
        const Vect column = carve.Vector(n, false);
        const BalancedLU lu(path, &w);
        if (lu.outcome == LUDcmpOutcome::NoWork) return false;
        if (lu.outcome != LUDcmpOutcome::Done) {
            if (block > 0) Refuse(x + k * block, block);
            SetStatus(status, k, StackRefused);
            return true;
        }
        double* z = &column.Elem[0];
        for (std::uint32_t r = 0; r < nrhs; ++r) {
            for (std::uint32_t i = 0; i < n; ++i) z[i] = b[k * block + std::size_t{i} * nrhs + r];
            lu.Solve(z, z);
            for (std::uint32_t i = 0; i < n; ++i) x[k * block + std::size_t{i} * nrhs + r] = z[i];
        }
        SetStatus(status, k, StackDone);
        return true;
    };
    return EachMatrix(count, n, nrhs, MatrixBytes(n) + VectorBytes(n), small, general);
}

// Each product formed where it goes, or, where the result is an operand, in work storage first;
// small orders in local arrays.
bool MulMtrxNNStack(Path path, double* c, std::uint64_t count, std::uint32_t n, const double* a,
                    const double* b) {
    if (const auto done = NothingToDo(count, n, 0, {c, a, b})) return *done;
    const std::size_t nn = std::size_t{n} * n;
    const bool aliased = c == a || c == b;
    return OverParts(count, n, 0, [&](std::uint64_t begin, std::uint64_t end,
                                      const std::atomic<bool>&) {
        // A result that is an operand goes through a matrix of its own: the small orders' code
        // built by Emscripten 3.1.6 gave a wrong c = a a in place at order 3.
        if (!aliased && SmallProductRuns(path, n, begin, end, a, b, c) == end) return true;
        if (!aliased) {
            for (std::uint64_t k = begin; k < end; ++k)
                ProductRuns(path, n, a + k * nn, b + k * nn, c + k * nn);
            return true;
        }
        const auto through = [&](double* t) {
            for (std::uint64_t k = begin; k < end; ++k) {
                ProductRuns(path, n, a + k * nn, b + k * nn, t);
                std::memcpy(c + k * nn, t, nn * sizeof(double));
            }
            return true;
        };
        if (n <= kSmallOrder) {
            double t[kSmallOrder * kSmallOrder];
            return through(t);
        }
        const WorkBlock block((std::uint64_t{nn} + 1u) * sizeof(double));
        return block && through(reinterpret_cast<double*>(block.get()));
    });
}

bool RCondMtrxNNStack(Path path, double* rcond, std::uint8_t* status, std::uint64_t count,
                      std::uint32_t n, const double* a) {
    if (const auto done = NothingToDo(count, n, 0, {rcond, a})) return *done;
    const std::size_t nn = std::size_t{n} * n;
    const auto small = [&](std::uint64_t first, std::uint64_t end) {
        return SmallRCondRuns(path, n, first, end, a, rcond, status);
    };
    const auto general = [&](const WorkBlock& block, std::uint64_t k) {
        WorkCarver carve(block);
        const MtrxNN w = CopiedRecord(carve, n, a + k * nn);
        LUDcmpOutcome outcome;
        rcond[k] = RCondMtrxNN(path, &w, &outcome);
        SetStatus(status, k, StatusOf(outcome));
        return outcome != LUDcmpOutcome::NoWork;
    };
    return EachMatrix(count, n, n, MatrixBytes(n), small, general);
}

}  // namespace detail

bool DetNN2Stack(double* det, std::uint8_t* status, std::uint64_t count, std::uint32_t n,
                 const double* a) {
    return detail::DetNN2Stack(detail::FastestPath(), det, status, count, n, a);
}

bool DetLog10Stack(double* logdet, int* sign, std::uint8_t* status, std::uint64_t count,
                   std::uint32_t n, const double* a) {
    return detail::DetLog10Stack(detail::FastestPath(), logdet, sign, status, count, n, a);
}

bool InvMtrxNNStack(double* ai, std::uint8_t* status, std::uint64_t count, std::uint32_t n,
                    const double* a) {
    return detail::InvMtrxNNStack(detail::FastestPath(), ai, status, count, n, a);
}

bool SolveMtrxNNStack(double* x, std::uint8_t* status, std::uint64_t count, std::uint32_t n,
                      std::uint32_t nrhs, const double* a, const double* b) {
    return detail::SolveMtrxNNStack(detail::FastestPath(), x, status, count, n, nrhs, a, b);
}

bool MulMtrxNNStack(double* c, std::uint64_t count, std::uint32_t n, const double* a,
                    const double* b) {
    return detail::MulMtrxNNStack(detail::FastestPath(), c, count, n, a, b);
}

bool RCondMtrxNNStack(double* rcond, std::uint8_t* status, std::uint64_t count, std::uint32_t n,
                      const double* a) {
    return detail::RCondMtrxNNStack(detail::FastestPath(), rcond, status, count, n, a);
}

}  // namespace quil
