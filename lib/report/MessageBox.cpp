#include "report/MessageBox.h"

#include <cstdio>
#include <string>

namespace quil {

#ifdef _WIN32

namespace {

std::wstring Wide(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.pop_back();  // the terminating null, which the string holds already
    return wide;
}

constexpr MessageBoxHandler DefaultHandler = SystemMessageBox;

}  // namespace

int SystemMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
    HWND window = owner != nullptr ? static_cast<HWND>(owner) : GetActiveWindow();
    return MessageBoxW(window, Wide(text).c_str(), Wide(caption).c_str(), style);
}

#else

namespace {

int StdErrMessageBox(void*, const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "%s: %s", caption, text);
    std::fflush(stderr);
    return IDOK;
}

constexpr MessageBoxHandler DefaultHandler = StdErrMessageBox;

}  // namespace

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style) {
    return ShowMessageBox(owner, text, caption, style);
}

#endif

namespace {

// The one piece of process state in the report: which handler shows notices.
MessageBoxHandler activeHandler = DefaultHandler;

}  // namespace

int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style) {
    return activeHandler(owner, text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = activeHandler;
    activeHandler = handler != nullptr ? handler : DefaultHandler;
    return previous;
}

}  // namespace quil
