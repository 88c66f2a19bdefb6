// The C++ runtime's __cxa_current_exception_type, which Emscripten's exceptions (made in
// JavaScript) leave out: the type of the exception being handled, or null.
mergeInto(LibraryManager.library, {
  __cxa_current_exception_type__deps: ['$exceptionCaught'],
  __cxa_current_exception_type: function() {
    if (!exceptionCaught.length) return 0;
    return exceptionCaught[exceptionCaught.length - 1].get_exception_info().get_type();
  },
});
