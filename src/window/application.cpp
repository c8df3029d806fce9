#include "window/application.h"

#include <cstdio>
#include <cstdlib>

#include "core/units/report.h"

namespace kestro {

namespace {

ApplicationExceptionHandler ExceptionHandler;

// Ends the program at once after an exception that could not be reported.
[[noreturn]] void EndUnreported(std::exception_ptr exception) {
    const ExceptionFacts facts = NameException(exception);
    std::fprintf(stderr, "kestro: unhandled exception %s: %s\n", facts.className.c_str(),
                 facts.message.c_str());
    std::fflush(nullptr);
    std::_Exit(1);
}

void OnTerminate() {
    static bool terminating = false;
    const std::exception_ptr exception = std::current_exception();
    if (!terminating && exception) {
        terminating = true;
        HandleUncaughtException(exception);
    }
    std::fflush(nullptr);
    std::_Exit(1);
}

}  // namespace

ApplicationExceptionHandler SetApplicationExceptionHandler(ApplicationExceptionHandler handler) {
    ApplicationExceptionHandler previous = std::move(ExceptionHandler);
    ExceptionHandler = std::move(handler);
    return previous;
}

void HandleUncaughtException(std::exception_ptr exception) {
    if (!ExceptionHandler)
        EndUnreported(exception);
    // A copy, so that a handler that uninstalls itself is not destroyed while it runs.
    const ApplicationExceptionHandler handler = ExceptionHandler;
    handler(exception);
}

void InstallTerminateHandler() {
    std::set_terminate(&OnTerminate);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleUncaughtException(std::current_exception());
        return true;
    }
}

}  // namespace kestro
