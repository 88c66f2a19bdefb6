// A program's own names beside the library's. With QUIL_NO_GLOBAL_NAMES the library declares
// nothing in the global namespace, and none of the symbols it defines is a global one: a
// program may name its own types, constants and functions as the library's records, routines
// and internals are named (this file would not compile, or not link, otherwise).
#define QUIL_NO_GLOBAL_NAMES
#include "quil.h"

#include <gtest/gtest.h>

#include <cstdint>

// The program's own, named as the library's.
struct Vect {
    int count;
};
class SMtrxNN {};
constexpr double SingularTol = 0.5;
void* GetHeap(void*, std::uint32_t, std::uint32_t) { return nullptr; }

namespace {
int ownCopies = 0;
}  // namespace

// Named and typed as the copy that the library's routines take their work records with.
bool CopyMtrxNN(quil::MtrxNN* c, const quil::MtrxNN* a) {
    ++ownCopies;
    return c != a;
}

namespace {

TEST(Names, AProgramsOwnNamesStandBesideTheLibrarys) {
    const Vect own{3};
    EXPECT_EQ(own.count, 3);
    EXPECT_EQ(GetHeap(nullptr, 1, 1), nullptr);
    EXPECT_EQ(SingularTol, 0.5);
    EXPECT_EQ(quil::SingularTol, 1.0e-6);

    quil::MtrxNN* a = quil::GetMatrixNN(nullptr, 2, false);
    ASSERT_NE(a, nullptr);
    a->Elem[0][1] = 1.0;
    a->Elem[1][0] = 1.0;
    EXPECT_EQ(quil::DetNN2(a), -1.0);  // works on the library's own copy of a
    EXPECT_EQ(ownCopies, 0);
    EXPECT_TRUE(CopyMtrxNN(a, nullptr));
    EXPECT_EQ(ownCopies, 1);
    a = quil::FreeMatrixNN(a);

    quil::SMtrxNN m(2);
    m[0][0] = 2.0;
    m[1][1] = 3.0;
    EXPECT_EQ((m * m).Det(), 36.0);  // the operators are found beside their class
    quil::Vect* v = quil::GetVector(nullptr, 2, true);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Size, 2u);
    quil::FreeVector(v);
}

}  // namespace
