#include "platform.h"
#include "runtime.h"

#include <QApplication>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <utility>
#include <vector>

namespace runtime {

namespace {

// The window whose command runs now.
QPointer<QWidget> g_commandWindow;

// A box belongs to the window whose command shows it: modal over it, centred on it, with its
// icon. Just after a prompt closes no window may be active yet, so that is not asked first.
QWidget* boxParent()
{
    return g_commandWindow ? g_commandWindow->window() : QApplication::activeWindow();
}

// Runs a box; when it closes, its window has the focus back, in the control that had it, even
// where no window manager hands it back.
int run(QDialog& box)
{
    box.setWindowModality(Qt::ApplicationModal);
    const int result = box.exec();
    if (QWidget* owner = box.parentWidget())
        owner->activateWindow();
    return result;
}

constexpr double kPromptWidth = 4800; // twips

// Wide enough for the box's title beside the frame's buttons, which a window manager would cut.
int titleWidth(const QWidget& box)
{
    constexpr int kFrameButtons = 140;
    return box.fontMetrics().horizontalAdvance(box.windowTitle()) + kFrameButtons;
}

class QtDialogs final : public Dialogs {
public:
    QString prompt(const QString& prompt, const QString& title) override
    {
        QInputDialog box(boxParent());
        box.setWindowTitle(title);
        box.setLabelText(prompt);
        box.setInputMode(QInputDialog::TextInput);
        box.setTextEchoMode(QLineEdit::Normal);
        // The box sizes itself to its contents, so the edit line carries the width.
        if (auto* edit = box.findChild<QLineEdit*>())
            edit->setMinimumWidth(std::max(twipsToPixelsX(kPromptWidth), titleWidth(box)));
        return run(box) == QDialog::Accepted ? box.textValue() : QString();
    }

    void message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
            QMessageBox::Ok, boxParent());
        // The box fixes its own size from its layout: a spacer across it carries the width.
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
            grid->addItem(new QSpacerItem(titleWidth(box), 0), grid->rowCount(), 0, 1,
                grid->columnCount());
        run(box);
    }
};

Dialogs* g_dialogs = nullptr;

QtDialogs& qtDialogs()
{
    static QtDialogs instance;
    return instance;
}

double logicalDpi(Qt::Orientation orientation)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 96.0;
    return orientation == Qt::Horizontal ? screen->logicalDotsPerInchX()
                                         : screen->logicalDotsPerInchY();
}

constexpr double kTwipsPerInch = 1440.0;

std::vector<std::function<void()>>& endHooks()
{
    static std::vector<std::function<void()>> hooks;
    return hooks;
}

} // namespace

QString runtimeErrorText(const RuntimeError& error)
{
    return QStringLiteral("Run-time error '%1':\n\n%2")
        .arg(error.number())
        .arg(error.description());
}

void dispatch(const std::function<void()>& handler, QWidget* window)
{
    const QPointer<QWidget> outer
        = std::exchange(g_commandWindow, window ? QPointer<QWidget>(window) : g_commandWindow);
    // Showing the message must not throw into the event loop either: a failure there is dropped.
    try {
        handler();
    } catch (...) {
        const RuntimeError error = currentError();
        try {
            message(runtimeErrorText(error));
        } catch (...) {
            (void)currentError();
        }
    }
    g_commandWindow = outer;
}

Dialogs& dialogs() { return g_dialogs ? *g_dialogs : qtDialogs(); }

void setDialogs(Dialogs* dialogs) { g_dialogs = dialogs; }

int twipsToPixelsX(double twips) { return qRound(twips * logicalDpi(Qt::Horizontal) / kTwipsPerInch); }

int twipsToPixelsY(double twips) { return qRound(twips * logicalDpi(Qt::Vertical) / kTwipsPerInch); }

float pixelsToTwipsX(int pixels)
{
    return static_cast<float>(pixels * kTwipsPerInch / logicalDpi(Qt::Horizontal));
}

float pixelsToTwipsY(int pixels)
{
    return static_cast<float>(pixels * kTwipsPerInch / logicalDpi(Qt::Vertical));
}

QRect twipsRect(double left, double top, double width, double height)
{
    return { twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
        twipsToPixelsY(height) };
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

void keepOutOfTaskBar(QWidget* window)
{
    platform::skipTaskBar(window);
    // After the flags, which take it off a tool window.
    window->setAttribute(Qt::WA_QuitOnClose);
}

void unload(QWidget* form)
{
    if (!form)
        return;
    form->close();
    form->deleteLater();
}

void move(QWidget* control, float left, float top, float width, float height)
{
    if (width < 0 || height < 0)
        raise(Error::InvalidPropertyValue);
    control->setGeometry(twipsRect(left, top, width, height));
}

void atProgramEnd(std::function<void()> release) { endHooks().push_back(std::move(release)); }

void runProgramEndHooks()
{
    // Each hook runs once even if End is followed by the return from the event loop.
    auto hooks = std::move(endHooks());
    endHooks().clear();
    // A failure here, such as a printer document that cannot be finished, is shown: it is the
    // last chance to tell the user.
    for (auto& hook : hooks)
        dispatch(hook);
}

void end()
{
    runProgramEndHooks();
    for (QWidget* window : QApplication::topLevelWidgets())
        window->close();
    QCoreApplication::exit(0);
}

} // namespace runtime
