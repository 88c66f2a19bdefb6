#include "routines/Heap.h"

#include <cstdio>
#include <cstdlib>

#include "report/MessageBox.h"

namespace quil {

bool IsWinEnv() {
    return std::getenv("windir") != nullptr;
}

void AllocErrMsg(std::uint32_t bytes) {
    static constexpr const char* Format = "failed to allocate %u byte(s) in heap area.\r\n";
    if (IsWinEnv()) {
        char text[128];
        std::snprintf(text, sizeof text, Format, static_cast<unsigned>(bytes));
        ShowMessageBox(nullptr, text, "QUIL Lib. Error Message", MB_ICONERROR);
    } else {
        std::fprintf(stderr, Format, static_cast<unsigned>(bytes));
    }
}

void* GetHeap(void* old, std::uint32_t count, std::uint32_t size) {
    FreeHeap(old);
    const std::uint32_t bytes = count * size;
    if (bytes == 0) {
        AllocErrMsg(bytes);
        return nullptr;
    }
    // calloc multiplies without wrapping, so the block is never smaller than count elements.
    void* block = std::calloc(count, size);
    if (block == nullptr) {
        AllocErrMsg(count * size);
        return nullptr;
    }
    return block;
}

void* FreeHeap(void* p) {
    if (p != nullptr) std::free(p);
    return nullptr;
}

}  // namespace quil
