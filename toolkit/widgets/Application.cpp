#include "widgets/Application.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <typeinfo>

TApplication::TApplication() : TComponent(nullptr) {}

TApplication::~TApplication() { renderer_.reset(); }

void TApplication::Initialize(std::unique_ptr<TRenderer> renderer) { renderer_ = std::move(renderer); }

void TApplication::Run() {
    if (mainForm_ != nullptr && renderer_ != nullptr) ExitCode = renderer_->Run(*this, *mainForm_);
}

bool TApplication::Dispatch(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (...) {
        HandleException();
        return false;
    }
}

void TApplication::HandleException() { ShowException(DescribeCurrentException()); }

void TApplication::ShowException(const std::string& message) {
    if (renderer_ != nullptr) {
        renderer_->ShowException(*this, message);
    } else {
        std::fprintf(stderr, "%s: %s\n", Title.c_str(), message.c_str());
        std::fflush(stderr);
    }
}

std::string ProgramNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string DescribeCurrentException() {
    if (!std::current_exception()) return "no exception";
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        // The object layer throws plain classes with no message: name the class instead.
        const std::type_info* type = abi::__cxa_current_exception_type();
        if (type == nullptr) return "unknown exception";
        int status = 0;
        std::unique_ptr<char, decltype(&std::free)> name(
            abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), &std::free);
        return std::string("exception of class ") +
               (status == 0 && name != nullptr ? name.get() : type->name());
    }
}
