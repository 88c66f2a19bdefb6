#include "FmMain.h"

const TitleTable ProgramTitles = {"Test of Mtrx", "Test of Vect"};

void TFmMain::RunSuites() {
    VectRoutineSuite();
    SVectClassSuite();
}
