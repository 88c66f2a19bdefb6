#include "objects/SError.h"

namespace quil {

SError::SError(const char* error, const char* operation) noexcept {
    Text[0] = '\0';
    Put(error);
    if (operation != nullptr) {
        Put(" in ");
        Put(operation);
    }
    Put(": ");
}

void SError::Put(const char* s) noexcept {
    for (; *s != '\0' && Len + 1u < sizeof Text; ++s) {
        if (*s == '\r') continue;
        Text[Len++] = *s == '\n' ? ' ' : *s;
    }
    Text[Len] = '\0';
}

// Decimal digits by hand: no locale, and nothing that might ask for memory.
void SError::Put(unsigned u) noexcept {
    char text[11];
    unsigned n = 0;
    do {
        text[n++] = static_cast<char>('0' + u % 10u);
        u /= 10u;
    } while (u != 0u);
    for (unsigned k = 0; k < n / 2u; ++k) {
        const char c = text[k];
        text[k] = text[n - 1u - k];
        text[n - 1u - k] = c;
    }
    text[n] = '\0';
    Put(text);
}

void SError::PutOutOfRange(const char* which, unsigned index) noexcept {
    Put(which);
    Put("subscript ");
    Put(index);
    Put(" is out of range");
}

void SError::PutValid(unsigned b, unsigned count) noexcept {
    Put(" (valid: ");
    if (count == 0u) {
        Put("none");
    } else {
        Put(b);
        Put("..");
        Put(b + (count - 1u));
    }
    Put(")");
}

}  // namespace quil
