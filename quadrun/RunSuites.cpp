#include "FmMain.h"

const TitleTable ProgramTitles = {"Test of MtrxNN", "Test of MtrxNN"};

void TFmMain::RunSuites() {
    MtrxNNRoutineSuite();
    SMtrxNNClassSuite();
}
