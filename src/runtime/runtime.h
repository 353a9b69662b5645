// The runtime layer every command stands on: numbered run-time errors and their handling,
// prompts and messages, twips, forms, and the end of the program.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>

namespace runtime {

// ---- Run-time errors ------------------------------------------------------------------------

enum class Error {
    InvalidProcedureCall = 5,
    OutOfMemory = 7,
    InternalError = 51,
    BadFileNameOrNumber = 52,
    BadFileMode = 54,
    FileNotFound = 53,
    FileAlreadyOpen = 55,
    DeviceIOError = 57,
    DiskFull = 61,
    InputPastEndOfFile = 62,
    PermissionDenied = 70,
    PathFileAccessError = 75,
    PathNotFound = 76,
    InvalidPropertyValue = 380,
    PrinterError = 482,
};

// The standard description of an error number; "Application-defined or object-defined error"
// for a number the table does not hold.
QString describe(int number);

class RuntimeError : public std::exception {
public:
    explicit RuntimeError(Error error);
    RuntimeError(Error error, QString description);
    RuntimeError(int number, QString description);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }
    const char* what() const noexcept override { return m_what.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};

[[noreturn]] void raise(Error error);
[[noreturn]] void raise(Error error, const QString& description);

// Whatever was thrown, as a run-time error: std::bad_alloc is error 7, any other exception
// error 51 with its own message. Call only inside a catch block.
RuntimeError currentError();

// ---- The three ways a procedure handles a failure ---------------------------------------------
// None: call the code; a failure leaves the procedure for its caller.

// Skip and continue: the failing statement is abandoned and the next one runs.
template <typename Statement>
void skipOnError(Statement&& statement)
{
    try {
        statement();
    } catch (...) {
        (void)currentError();
    }
}

// Jump to a handler: the rest of the body is abandoned and the handler runs with the error.
template <typename Body, typename Handler>
void onErrorGoTo(Body&& body, Handler&& handler)
{
    try {
        body();
    } catch (...) {
        handler(currentError());
    }
}

// Default handling: every event handler runs through here, so that nothing reaches the event
// loop. An error that escapes is shown as "Run-time error 'N':" and the program goes on. The
// prompts and messages of the handler belong to `window`, the one whose command it is.
void dispatch(const std::function<void()>& handler, QWidget* window = nullptr);

// A slot for connect() that runs `handler` through dispatch() as a command of `window`.
template <typename Handler>
auto handled(QWidget* window, Handler handler)
{
    return [window, handler = std::move(handler)](auto&&...) { dispatch(handler, window); };
}

// The text of the default handling's message box.
QString runtimeErrorText(const RuntimeError& error);

// ---- Prompts and messages ---------------------------------------------------------------------

inline constexpr auto kAppTitle = "Brindlehof";

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Modal box: `prompt` inside, `title` in the title bar, one edit line, OK and Cancel.
    // Returns the typed text, or "" on Cancel, Escape or closing the box.
    virtual QString prompt(const QString& prompt, const QString& title) = 0;
    // Modal box titled "Brindlehof" with an OK button only.
    virtual void message(const QString& text) = 0;
};

Dialogs& dialogs();
// Tests script the answers; nullptr restores the real boxes.
void setDialogs(Dialogs* dialogs);

inline QString prompt(const QString& text, const QString& title)
{
    return dialogs().prompt(text, title);
}
inline void message(const QString& text) { dialogs().message(text); }

// ---- Twips ------------------------------------------------------------------------------------
// Positions and sizes are given in twips, 1/1440 inch. They are converted with the screen's
// logical DPI (15 twips a pixel at 96 DPI), so a window keeps its physical size on any screen.

int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
float pixelsToTwipsX(int pixels);
float pixelsToTwipsY(int pixels);
QRect twipsRect(double left, double top, double width, double height);

// ---- Forms ------------------------------------------------------------------------------------

// Show: creates the form on first use, shows it modeless, and brings a shown one forward,
// restored first when it was minimised.
template <typename Form>
Form* show(QPointer<Form>& form)
{
    if (!form) {
        form = new Form;
        form->setAttribute(Qt::WA_DeleteOnClose);
    }
    form->setWindowState(form->windowState() & ~Qt::WindowMinimized);
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

// The wait cursor over every window while a command works, until the end of the scope.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    Q_DISABLE_COPY_MOVE(WaitCursor)
};

// Keeps a window out of the task bar, the way of the platform (a tool window on X11, an owned
// window on Windows), while it still keeps the program running as a dialog does.
void keepOutOfTaskBar(QWidget* window);

// Unload: closes and destroys the form; the next show creates it afresh.
void unload(QWidget* form);

// Move: places a control in one operation, in twips of its parent's client area. A negative
// width or height is refused with error 380 and the control stays as it was.
void move(QWidget* control, float left, float top, float width, float height);

// ---- Program end ------------------------------------------------------------------------------

// Services that hold open files or documents register what must be done before the program
// ends; it runs once, on End or when the last window has closed.
void atProgramEnd(std::function<void()> release);
void runProgramEndHooks();

// End: closes every open file and window and ends the program at once.
void end();

} // namespace runtime
