// linrun's main window: the test platform window with the vector printers and suites.
#pragma once

#include "FmMain.h"

namespace quil {
struct Vect;
class SMtrx;
class SVect;
}  // namespace quil
using quil::Vect, quil::SMtrx, quil::SVect;

// Titles "Test of Mtrx" and "Test of Vect"; the window is a TFmLinrun.
extern const ProgramDescriptor LinrunProgram;

class TFmLinrun : public TFmMain {
public:
    explicit TFmLinrun(TComponent* owner = nullptr) : TFmMain(owner, LinrunProgram) {}

    void RunSuites() override;

    void PrintVector(const char* label, const Vect* v);
    void PrintVectOp(const Vect* a, const char* op, const Vect* b, const Vect* c);
    void PrintSVect(const char* label, const SVect& v);
    void PrintSMtrx(const char* firstPrefix, const SMtrx& m);
    void VectRoutineSuite();
    void SVectClassSuite();
};
