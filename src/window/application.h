// The application object: every exception that escapes an event handler ends in one place.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

namespace kestro {

// Receives an exception that no handler of the program caught.
using ApplicationExceptionHandler = std::function<void(std::exception_ptr)>;

// Installs the application-wide exception handler (the error report installs itself when it
// is created); returns the handler installed before. An empty handler uninstalls.
ApplicationExceptionHandler SetApplicationExceptionHandler(ApplicationExceptionHandler handler);

// Passes an exception to the installed handler. Without one it writes the exception's message
// to the standard error stream and ends the program with exit code 1.
void HandleUncaughtException(std::exception_ptr exception);

// Routes std::terminate (an exception thrown where nothing can catch it, for instance through
// a noexcept function) to HandleUncaughtException, then ends the program.
void InstallTerminateHandler();

// QApplication whose notify() passes every exception escaping a handler to
// HandleUncaughtException instead of letting it unwind through the event loop.
class TApplication : public QApplication {
    Q_OBJECT

  public:
    TApplication(int& argc, char** argv);

    // Delivers the event; an exception escaping the receiver goes to the installed handler.
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kestro
