/// \file
/// The whole library: the routine layer, the object layer, the error report and the thread count.
///
/// Every name is in namespace quil. The names of the records, routines and classes (Vect,
/// GetMatrixNN, SMtrxNN, ...) are also declared in the global namespace, as programs written
/// for the library have always used them; define QUIL_NO_GLOBAL_NAMES before including this
/// header (or any of the library's headers) to have the quil:: names only.
#pragma once

/// \namespace quil
/// The library: records, routines, classes, the error report and the thread count. Its own
/// internals are declared in no installed header.

// First: a compiler that does not take C++20 stops here, with a clear error, and nothing
// below is read (QUIL_EXPORT is defined only under C++20).
#include "QuilExport.h"
#ifdef QUIL_EXPORT
#include "objects/SError.h"
#include "objects/SLUDcmp.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"
#include "report/MessageBox.h"
#include "routines/Arrays.h"
#include "routines/DetNN.h"
#include "routines/Heap.h"
#include "routines/MtrxNN.h"
#include "routines/Records.h"
#include "routines/Stacks.h"
#include "routines/Threads.h"
#include "routines/Vect.h"
#endif
