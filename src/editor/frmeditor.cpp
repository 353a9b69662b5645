#include "frmeditor.h"

#include <frmabout.h>
#include <runtime.h>
#include <services.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextDocument>

#include <utility>

namespace editor {

namespace {

// Design geometry of the window's client area, in twips.
constexpr double kClientLeft = 165;
constexpr double kClientTop = 450;
constexpr double kClientWidth = 10095;
constexpr double kClientHeight = 7785;
constexpr float kMargin = 100;

constexpr int kFontRulePointSize = 8;
constexpr int kTabColumns = 8;

// The About dialog, one at a time. It has no parent, so it outlives this window when the
// window's frame closes it.
QPointer<about::frmAbout> g_about;

} // namespace

frmEditor::frmEditor(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmEditor"));
    setWindowTitle(QStringLiteral("Kalvenmark"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/brindlehof/icon32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/brindlehof/icon16.xpm"), QSize(16, 16));
    setWindowIcon(icon);

    // The client area below the menu bar; the text box is placed in it by hand, as the layout
    // rule says, not by a Qt layout.
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    x = new QPlainTextEdit(m_client);
    x->setObjectName(QStringLiteral("x"));
    x->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    x->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    x->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    x->setGeometry(runtime::twipsRect(0, 0, 10095, 7815));
    // No label names the box on screen; a screen reader would call it only "edit", and its
    // scroll bar nothing at all.
    x->setAccessibleName(QStringLiteral("Source text"));
    x->verticalScrollBar()->setAccessibleName(QStringLiteral("Source text"));
    x->installEventFilter(this);
    // Assembly source is laid out in columns: the face is fixed-pitch from the start, at the
    // default size until the font rule first runs.
    x->setFont(runtime::fixedPitchFont(x->font().pointSize()));
    connect(x, &QPlainTextEdit::textChanged, this, runtime::handled(this, [this] { xChanged(); }));

    createMenus();
    connect(new QShortcut(Qt::Key_F10, this), &QShortcut::activated, this,
        &frmEditor::focusMenuBar);

    const int menuHeight = menuBar()->sizeHint().height();
    setGeometry(runtime::twipsToPixelsX(kClientLeft), runtime::twipsToPixelsY(kClientTop),
        runtime::twipsToPixelsX(kClientWidth), runtime::twipsToPixelsY(kClientHeight) + menuHeight);
    x->setFocus();

    // Load: the box is laid out before the window is first shown.
    layout()->activate();
    runtime::dispatch([this] { layoutText(); });
}

frmEditor::~frmEditor() = default;

void frmEditor::createMenus()
{
    auto command = [this](QWidget* owner, const char* name, const QString& caption,
                       void (frmEditor::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        owner->addAction(action);
        connect(action, &QAction::triggered, this,
            runtime::handled(this, [this, handler] { (this->*handler)(); }));
        return action;
    };
    auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("file"));
    // Both pairs of separators are shown; Qt would otherwise fold each pair into one.
    fileMenu->setSeparatorsCollapsible(false);
    file = fileMenu->menuAction();
    file->setObjectName(QStringLiteral("file"));

    new_ = command(fileMenu, "new", QStringLiteral("&New"), &frmEditor::newClicked);
    sfdart = separator(fileMenu, "sfdart");
    sdafdsfa = separator(fileMenu, "sdafdsfa");
    open = command(fileMenu, "open", QStringLiteral("&Open"), &frmEditor::openClicked);
    save = command(fileMenu, "save", QStringLiteral("&Save"), &frmEditor::saveClicked);
    sdfsdafdsaf = separator(fileMenu, "sdfsdafdsaf");
    asdfsdaf = separator(fileMenu, "asdfsdaf");
    print = command(fileMenu, "print", QStringLiteral("&Print"), &frmEditor::printClicked);
    exit = command(fileMenu, "exit", QStringLiteral("E&xit"), &frmEditor::exitClicked);

    // Commands on the menu bar itself, without a submenu.
    about = command(menuBar(), "about", QStringLiteral("&About"), &frmEditor::aboutClicked);
    asfd = command(menuBar(), "asfd", QStringLiteral("&Compile"), &frmEditor::asfdClicked);
}

QString frmEditor::text() const
{
    // toRawText keeps every character (toPlainText would turn a no-break space into a space);
    // its paragraph separators are the editor's line breaks. They are widened in one pass:
    // QString::replace grows the string a batch of matches at a time, moving the rest of it
    // each time, which makes Save of a large source several times slower.
    const QString raw = x->document()->toRawText();
    QString text(raw.size() + raw.count(QChar::ParagraphSeparator), Qt::Uninitialized);
    QChar* to = text.data();
    for (QChar ch : raw) {
        if (ch == QChar::ParagraphSeparator) {
            *to++ = QLatin1Char('\r');
            ch = QLatin1Char('\n');
        }
        *to++ = ch;
    }
    return text;
}

namespace {

// Qt wraps a line at a space where it can, and for each screen line of a run without one it looks
// to the end of the run first: a run of a megabyte takes minutes to lay out, the window dead. A
// text holding a run that long breaks its wide lines anywhere instead.
QTextOption::WrapMode wrapModeFor(QStringView text)
{
    constexpr qsizetype kLongestRunWrappedAtSpaces = 64 * 1024;
    qsizetype run = 0;
    for (const QChar ch : text) {
        run = ch.isSpace() ? 0 : run + 1;
        if (run > kLongestRunWrappedAtSpaces)
            return QTextOption::WrapAnywhere;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

} // namespace

void frmEditor::setText(const QString& text)
{
    {
        // Emptied first, unseen. Over an old text Qt sets the format at the old cursor on the
        // whole new text once it is placed, which measured more than doubles what placing a
        // text of many lines costs; and no old text is laid out again in a new wrap mode.
        const QSignalBlocker quiet(x);
        x->document()->clear();
        x->setWordWrapMode(wrapModeFor(text));
    }
    // The document itself takes CR LF, LF and CR each as one line break; rewriting them first
    // would cost more than placing a large source.
    x->setPlainText(text);
}

bool frmEditor::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // Tabs stop every 8 columns of the face, as on paper and in the assembler, in whatever size
    // the font rule sets; Qt's own stops, every 80 pixels, fall between columns.
    if (watched == x && type == QEvent::FontChange)
        x->setTabStopDistance(
            QFontMetricsF(x->font(), x).horizontalAdvance(QString(kTabColumns, u' ')));
    if (watched != x
        || (type != QEvent::KeyPress && type != QEvent::KeyRelease
            && type != QEvent::ShortcutOverride))
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // A lone Alt puts the focus on the menu bar. Qt does that itself only where the press of Alt
    // already carries the Alt modifier, which X11 adds only to the keys after it.
    if (type == QEvent::KeyRelease) {
        if (key->key() == Qt::Key_Alt && std::exchange(m_loneAlt, false)
            && !menuBar()->hasFocus())
            focusMenuBar();
        return false;
    }
    m_loneAlt = key->key() == Qt::Key_Alt;
    if (type == QEvent::ShortcutOverride)
        return false;
    // Shift+Enter would put a line separator (U+2028) in the text: it looks like a line break
    // but is a character no source file can hold. Every line break the user types is a real one.
    if (key->matches(QKeySequence::InsertLineSeparator)) {
        x->insertPlainText(QStringLiteral("\n"));
        return true;
    }
    // Alt with a key that is no access key types nothing, as in a Windows text box. AltGr comes
    // as Ctrl+Alt on Windows and without Alt on X11, so what it types still goes in.
    const Qt::KeyboardModifiers modifiers = key->modifiers();
    return modifiers.testFlag(Qt::AltModifier) && !modifiers.testFlag(Qt::ControlModifier)
        && !key->text().isEmpty() && key->text().front().isPrint();
}

// F10 does what a lone Alt does: the menu bar enters its keyboard mode only on a lone Alt with
// the Alt modifier, so it is handed one. Sent, a key press goes through the shortcuts as a typed
// one does.
void frmEditor::focusMenuBar()
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &press);
    QCoreApplication::sendEvent(this, &release);
}

void frmEditor::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    runtime::dispatch([this] { layoutText(); });
}

void frmEditor::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimising and restoring resize the client area as far as the layout rule is concerned.
    if (event->type() == QEvent::WindowStateChange)
        runtime::dispatch([this] { layoutText(); });
}

// Layout rule: the text box fills the client area with a 100-twip margin; a client too small
// for that (or a minimised window) leaves the box where it was.
void frmEditor::layoutText()
{
    const bool minimised = isMinimized();
    const float clientWidth = minimised ? 0.0f : runtime::pixelsToTwipsX(m_client->width());
    const float clientHeight = minimised ? 0.0f : runtime::pixelsToTwipsY(m_client->height());
    runtime::skipOnError([&] {
        runtime::move(x, kMargin, kMargin, clientWidth - 2 * kMargin, clientHeight - 2 * kMargin);
    });
}

// Font rule: 8-point bold from the first change on. Setting a font re-lays out the whole
// document, so it is set only when it differs; typing in a large source stays instant.
void frmEditor::applyFontRule()
{
    QFont font = x->font();
    if (font.pointSize() == kFontRulePointSize && font.bold())
        return;
    font.setPointSize(kFontRulePointSize);
    font.setBold(true);
    x->setFont(font);
}

void frmEditor::xChanged() { applyFontRule(); }

void frmEditor::exitClicked() { runtime::end(); }

void frmEditor::aboutClicked() { runtime::show(g_about); }

} // namespace editor
