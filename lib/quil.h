/// \file
/// The whole library: the routine layer and the object layer.
#pragma once

#include "objects/SError.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"
#include "routines/Arrays.h"
#include "routines/DetNN.h"
#include "routines/Heap.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
