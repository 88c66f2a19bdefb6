// quadrun's main window: the test platform window with the square-matrix printers and suites.
#pragma once

#include "FmMain.h"

namespace quil {
struct MtrxNN;
class SMtrxNN;
}  // namespace quil
using quil::MtrxNN, quil::SMtrxNN;

// Titles "Test of MtrxNN"; the window is a TFmQuadrun.
extern const ProgramDescriptor QuadrunProgram;

class TFmQuadrun : public TFmMain {
public:
    explicit TFmQuadrun(TComponent* owner = nullptr) : TFmMain(owner, QuadrunProgram) {}

    void RunSuites() override;

    void PrintMtrxNN(const char* label, const MtrxNN* m);
    void PrintSMtrxNN(const char* label, const SMtrxNN& a);
    void MtrxNNRoutineSuite();
    void SMtrxNNClassSuite();
};
