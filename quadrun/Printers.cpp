// quadrun's printers: a square matrix as a labelled block, one report line per row.
//
// The label stands on the first row; every further row starts with as many spaces as the
// label has characters, so the bars of all rows line up. Each element is "%10lf" followed by
// a space, or by a bar after the last column.
#include <string>

#include "FmQuadrun.h"
#include "LineFormat.h"
#include "objects/SMtrxNN.h"
#include "routines/MtrxNN.h"

namespace {

// Prints the n x n block whose subscripts start at first; element(i, j) reads one element.
template <class Element>
void PrintSquareBlock(TFmMain& fm, const char* label, unsigned n, unsigned first,
                      Element element) {
    for (unsigned r = 0; r < n; ++r) {
        const unsigned i = first + r;
        std::string line = BlockPrefix(label, r == 0);
        for (unsigned c = 0; c < n; ++c) {
            const unsigned j = first + c;
            line += FormatLine("%10lf%1c", element(i, j), c + 1 == n ? '|' : ' ');
        }
        fm.PutLine(line);
    }
}

}  // namespace

// Reads the elements straight from the row table.
void TFmQuadrun::PrintMtrxNN(const char* label, const MtrxNN* m) {
    PrintSquareBlock(*this, label, m->Size, m->Base1 ? 1u : 0u,
                     [m](unsigned i, unsigned j) { return m->Elem[i][j]; });
}

// Reads the elements through the validating GetValue.
void TFmQuadrun::PrintSMtrxNN(const char* label, const SMtrxNN& a) {
    PrintSquareBlock(*this, label, a.GetRows(), a.GetBase1() ? 1u : 0u,
                     [&a](unsigned i, unsigned j) { return a.GetValue(i, j); });
}
