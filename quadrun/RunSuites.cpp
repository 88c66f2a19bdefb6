#include "FmQuadrun.h"

const ProgramDescriptor QuadrunProgram = {
    "quadrun", "Test of MtrxNN", "Test of MtrxNN",
    "Runs the square-matrix routines and the SMtrxNN class of the QUIL library on fixed data\n"
    "and shows what each one produced as a text report of 211 lines, the same on every run.",
    CreateMainForm<TFmQuadrun>};

void TFmQuadrun::RunSuites() {
    MtrxNNRoutineSuite();
    SMtrxNNClassSuite();
}
