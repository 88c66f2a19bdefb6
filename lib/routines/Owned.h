// Internal to the library: a record the routines take from the heap for one call, released on
// every way out.
#pragma once

#include "routines/MtrxNN.h"
#include "routines/Vect.h"

namespace quil::detail {

// A record from GetMatrixNN or GetVector, released when the scope ends: one owner on every way
// out.
template <class Record, Record* (*Free)(Record*)>
struct Owned {
    Record* R = nullptr;
    Owned() = default;
    explicit Owned(Record* r) : R(r) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { R = Free(R); }
};
using OwnedMatrix = Owned<MtrxNN, FreeMatrixNN>;
using OwnedVector = Owned<Vect, FreeVector>;

}  // namespace quil::detail
