#include "FmLinrun.h"

const ProgramDescriptor LinrunProgram = {
    "linrun", "Test of Mtrx", "Test of Vect",
    "Runs the vector routines and the SVect class of the QUIL library, with products of SMtrx\n"
    "and SMtrxNN with SVect, on fixed data and shows what each one produced as a text report\n"
    "of 138 lines, the same on every run.",
    CreateMainForm<TFmLinrun>};

void TFmLinrun::RunSuites() {
    VectRoutineSuite();
    SVectClassSuite();
}
