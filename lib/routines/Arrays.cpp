#include "routines/Arrays.h"

namespace quil {

std::uint32_t ElemSize(std::int8_t code) {
    static constexpr std::uint32_t Widths[10] = {1, 1, 2, 4, 4, 4, 4, 4, 8, 10};
    return code >= 0 && code <= 9 ? Widths[code] : 0;
}

std::uint32_t RowPtrSize(std::int8_t code) {
    return code >= 0 && code <= 9 ? static_cast<std::uint32_t>(sizeof(void*)) : 0;
}

}  // namespace quil
