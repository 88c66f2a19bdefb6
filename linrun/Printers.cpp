// linrun's printers: vectors as labelled columns, a vector operation as three columns side by
// side, and a matrix as one row per line behind a fixed prefix.
#include <cstring>
#include <string>

#include "FmLinrun.h"
#include "LineFormat.h"
#include "objects/SMtrx.h"
#include "objects/SVect.h"
#include "routines/Vect.h"

namespace {

// Prints n elements as a column of "%10lf|" fields, starting at subscript first, with the
// label on the first line.
template <class Element>
void PrintColumn(TFmMain& fm, const char* label, unsigned n, unsigned first, Element element) {
    for (unsigned r = 0; r < n; ++r)
        fm.PutLine(BlockPrefix(label, r == 0) + FormatLine("%10lf|", element(first + r)));
}

}  // namespace

// Reads the elements straight from the record.
void TFmLinrun::PrintVector(const char* label, const Vect* v) {
    PrintColumn(*this, label, v->Size, v->Base1 ? 1u : 0u,
                [v](unsigned i) { return v->Elem[i]; });
}

// a op b = c, one line per subscript of a; b and c must match a in size and suffix base. On
// every line after the first the operator and the equals sign give way to blanks.
void TFmLinrun::PrintVectOp(const Vect* a, const char* op, const Vect* b, const Vect* c) {
    const int width = static_cast<int>(std::strlen(op));
    const unsigned first = a->Base1 ? 1u : 0u;
    for (unsigned r = 0; r < a->Size; ++r) {
        const unsigned i = first + r;
        if (r == 0) {
            PutLine(FormatLine("|%10lf| %s |%10lf| = |%10lf|", a->Elem[i], op, b->Elem[i],
                               c->Elem[i]));
        } else {
            PutLine(FormatLine("|%10lf| %*c |%10lf|   |%10lf|", a->Elem[i], width, ' ',
                               b->Elem[i], c->Elem[i]));
        }
    }
}

// Reads the elements through the validating GetValue.
void TFmLinrun::PrintSVect(const char* label, const SVect& v) {
    PrintColumn(*this, label, v.GetSize(), v.GetBase1() ? 1u : 0u,
                [&v](unsigned i) { return v.GetValue(i); });
}

// The matrix block: the first row behind firstPrefix ("M = |"), the others behind four spaces
// and a bar, so that with a five-character prefix every bar lines up. The class suite prints
// only suffix-base-0 matrices; a suffix-base-1 one is read from its own first subscript
// rather than refused.
void TFmLinrun::PrintSMtrx(const char* firstPrefix, const SMtrx& m) {
    const unsigned first = m.GetBase1() ? 1u : 0u;
    const unsigned rows = m.GetRows();
    const unsigned cols = m.GetCols();
    for (unsigned r = 0; r < rows; ++r) {
        std::string line = r == 0 ? std::string(firstPrefix) : std::string("    |");
        for (unsigned c = 0; c < cols; ++c)
            line += FormatLine("%10lf%c", m.GetValue(first + r, first + c),
                               c + 1 == cols ? '|' : ' ');
        PutLine(line);
    }
}
