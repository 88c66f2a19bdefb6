// Internal to the library: the copy with which the routines take their work records.
#pragma once

#include "routines/MtrxNN.h"

namespace quil::detail {

// c = a, element by element. False, with c untouched, unless c and a agree in Size and Base1.
bool CopyMtrxNN(MtrxNN* c, const MtrxNN* a);

}  // namespace quil::detail
