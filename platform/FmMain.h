// The test platform window shared by quadrun and linrun.
//
// TFmMain is described once against the widget layer and does not know which renderer draws
// it. A Run clears the report and calls RunSuites; every line of the report arrives through
// PutLine. RunSuites, the printers and the suites are defined by each program.
#pragma once

#include <string>

#include "widgets/Widgets.h"

namespace quil {
struct MtrxNN;
struct Vect;
class SMtrx;
class SMtrxNN;
class SVect;
}  // namespace quil
using quil::MtrxNN, quil::Vect, quil::SMtrx, quil::SMtrxNN, quil::SVect;

// The texts that tell the two programs apart; each program defines ProgramTitles.
struct TitleTable {
    const char* ApplicationTitle;
    const char* LabelCaption;
    const char* Summary;   // what the program does, in a few lines for --help
};
extern const TitleTable ProgramTitles;

class TFmMain : public TForm {
public:
    TPanel* Panel;
    TSpeedButton* SpBtnExit;
    TSpeedButton* SpBtnRun;
    TLabel* Label;
    TMemo* Memo;
    TStatusBar* StatusBar;

    explicit TFmMain(TComponent* owner = nullptr);

    void SpBtnExitClick(TObject* sender);
    void SpBtnRunClick(TObject* sender);

    // Appends line as the new last line of the report.
    void PutLine(const std::string& line);
    // The program's two suites, one after the other.
    void RunSuites();

    // quadrun
    void PrintMtrxNN(const char* label, const MtrxNN* m);
    void PrintSMtrxNN(const char* label, const SMtrxNN& a);
    void MtrxNNRoutineSuite();
    void SMtrxNNClassSuite();

    // linrun
    void PrintVector(const char* label, const Vect* v);
    void PrintVectOp(const Vect* a, const char* op, const Vect* b, const Vect* c);
    void PrintSVect(const char* label, const SVect& v);
    void PrintSMtrx(const char* firstPrefix, const SMtrx& m);
    void VectRoutineSuite();
    void SVectClassSuite();
};
