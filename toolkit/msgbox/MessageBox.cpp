#include "msgbox/MessageBox.h"

#include <cstdio>

namespace {

int StdErrMessageBox(void*, const char* text, const char* caption, unsigned) {
    std::fprintf(stderr, "%s: %s", caption, text);
    std::fflush(stderr);
    return IDOK;
}

// The one piece of process state in the toolkit: which renderer shows notices.
MessageBoxHandler activeHandler = StdErrMessageBox;

}  // namespace

int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style) {
    return activeHandler(owner, text, caption, style);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = activeHandler;
    activeHandler = handler != nullptr ? handler : StdErrMessageBox;
    return previous;
}
