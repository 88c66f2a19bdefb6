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

#include "objects/SError.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"
#include "report/MessageBox.h"
#include "routines/Arrays.h"
#include "routines/DetNN.h"
#include "routines/Heap.h"
#include "routines/MtrxNN.h"
#include "routines/Stacks.h"
#include "routines/Threads.h"
#include "routines/Vect.h"
