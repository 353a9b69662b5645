#include "runtime.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace runtime {

namespace {

// The window the box belongs to: the active one, so that it is modal over what the user sees.
QWidget* boxParent() { return QApplication::activeWindow(); }

constexpr double kPromptWidth = 4800; // twips

class QtDialogs final : public Dialogs {
public:
    QString prompt(const QString& prompt, const QString& title) override
    {
        QInputDialog box(boxParent());
        box.setWindowTitle(title);
        box.setLabelText(prompt);
        box.setInputMode(QInputDialog::TextInput);
        box.setTextEchoMode(QLineEdit::Normal);
        box.setWindowModality(Qt::ApplicationModal);
        // Wide enough for its title in the title bar, beside the frame's buttons; the box sizes
        // itself to its contents, so the edit line carries the width.
        constexpr int kFrameButtons = 140;
        if (auto* edit = box.findChild<QLineEdit*>()) {
            edit->setMinimumWidth(std::max(twipsToPixelsX(kPromptWidth),
                box.fontMetrics().horizontalAdvance(title) + kFrameButtons));
        }
        return box.exec() == QDialog::Accepted ? box.textValue() : QString();
    }

    void message(const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kAppTitle), text,
            QMessageBox::Ok, boxParent());
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
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
