// The reports of quadrun and linrun as the fixed data make them, line by line.
#pragma once

#include <string>
#include <vector>

#include "ReferenceInverse.h"

namespace reports {

using Lines = std::vector<std::string>;

// quadrun: the routine suite (108 lines), the class suite (103), and a whole Run.
Lines QuadrunRoutineSuite();
Lines QuadrunClassSuite();
Lines QuadrunReport();

// The matrices of quadrun's inverse tests: A of the class suite, D of the routine suite.
extern const reference::Matrix QuadrunA;
extern const reference::Matrix QuadrunD;

// linrun: the routine suite (63 lines), the class suite (75), and a whole Run.
Lines LinrunRoutineSuite();
Lines LinrunClassSuite();
Lines LinrunReport();

}  // namespace reports
