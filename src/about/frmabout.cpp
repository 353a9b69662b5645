#include "frmabout.h"

#include <runtime.h>

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>

#include <string_view>

namespace about {

namespace {

// Design geometry of the dialog's client area, in twips.
constexpr double kClientLeft = 2340;
constexpr double kClientTop = 1935;
constexpr double kClientWidth = 5730;
constexpr double kClientHeight = 3555;
constexpr int kDesignPointSize = 8;

constexpr std::string_view kNotice = "(c) the developers";
static_assert(kNotice.size() == 18);

// The banner: a title between two rules of underscores, which the label wraps to its width.
QString banner()
{
    return QString(46, u'_') + QString(30, u' ') + QStringLiteral("Kalvenmark") + QString(41, u' ')
        + QString(44, u'_') + QString(26, u' ')
        + QString::fromLatin1(kNotice.data(), static_cast<qsizetype>(kNotice.size()));
}

// A label that wraps its text at word boundaries within its width; a run longer than the label
// (the banner's rules of underscores) is cut at its edge, as the Windows label does.
class WrappingLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QTextLayout layout(text(), font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width());
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        layout.draw(&painter, QPointF(0, 0));
    }
};

// A line control from one point to another, in twips of its parent's client area, `pixels`
// wide below or right of them. The dialog's lines are all horizontal or vertical.
class LineControl final : public QWidget {
public:
    LineControl(QWidget* parent, QPointF from, QPointF to, QColor colour, int pixels)
        : QWidget(parent)
        , m_colour(colour)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        const QPoint start(runtime::twipsToPixelsX(from.x()), runtime::twipsToPixelsY(from.y()));
        const QPoint end(runtime::twipsToPixelsX(to.x()), runtime::twipsToPixelsY(to.y()));
        // As in GDI, the end point itself is not drawn.
        const bool horizontal = start.y() == end.y();
        const QSize size
            = horizontal ? QSize(end.x() - start.x(), pixels) : QSize(pixels, end.y() - start.y());
        setGeometry(QRect(start, size).normalized());
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), m_colour); }

private:
    QColor m_colour;
};

// The frame of a picture box: a sunken edge two pixels wide.
void makeSunken(QFrame* frame)
{
    frame->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
}

template <typename Control, typename Made>
Made* element(ControlArray<Control>& array, int index, Made* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    array.add(index, control);
    return control;
}

} // namespace

frmAbout::frmAbout(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Brindlehof"));
    // A fixed dialog frame: a caption and a close button, no minimise or maximise. Without the
    // system menu hint a dialog's caption shows no icon.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    // The twip sizes of the controls were made for 8-point text.
    QFont designFont = font();
    designFont.setPointSize(kDesignPointSize);
    setFont(designFont);
    setGeometry(runtime::twipsRect(kClientLeft, kClientTop, kClientWidth, kClientHeight));
    setFixedSize(size());
    // A dialog frame as above, but the dialog gets no button of its own in the task bar.
    runtime::keepOutOfTaskBar(this);

    createFrame();
    createButtons();
    createTexts();
    setTabOrder();
    cmdOK(0)->setFocus();
}

frmAbout::~frmAbout() = default;

void frmAbout::createFrame()
{
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    makeSunken(Picture1);
    runtime::move(Picture1, 600, 840, 4695, 1335);

    Label1 = new WrappingLabel(banner(), Picture1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    // Read aloud, the rules of underscores would come before the title, one by one.
    Label1->setAccessibleName(banner().remove(u'_').simplified());
    // Inside the picture box: its position counts from the box's client area, within the edge.
    runtime::move(Label1, 600, 120, 3135, 1095);
    Label1->move(Label1->pos() + Picture1->contentsRect().topLeft());

    auto* icon = element(picIcon, 0, new QLabel(this), "picIcon");
    makeSunken(icon);
    icon->setPixmap(QPixmap(QStringLiteral(":/about/icon32.xpm")));
    // The product's icon, named for a screen reader as the product.
    icon->setAccessibleName(QStringLiteral("Brindlehof"));
    // The box sizes itself to its picture: 32 x 32 within the edge, 540 twips at 96 dpi.
    runtime::move(icon, 120, 120, 540, 540);
    const int edge = icon->frameWidth();
    icon->resize(icon->pixmap().size() + QSize(2 * edge, 2 * edge));
}

void frmAbout::createButtons()
{
    auto button = [this](ControlArray<QPushButton>& array, const char* name, const QString& text,
                      void (frmAbout::*handler)(int)) {
        auto* control = element(array, 0, new QPushButton(text, this), name);
        // Neither button is the default: Enter presses whichever has the focus.
        control->setAutoDefault(false);
        connect(control, &QPushButton::clicked, this,
            runtime::handled(this, [this, handler] { (this->*handler)(0); }));
        return control;
    };
    runtime::move(button(cmdOK, "cmdOK", QStringLiteral("OK"), &frmAbout::cmdOKClicked), 4245, 2625,
        1260, 345);
    runtime::move(button(cmdSysInfo, "cmdSysInfo", QStringLiteral("&System Info..."),
                      &frmAbout::cmdSysInfoClicked),
        4260, 3075, 1245, 345);
}

void frmAbout::createTexts()
{
    auto label
        = [this](ControlArray<QLabel>& array, int index, const char* name, const QString& text) {
              auto* control = element(array, index, new QLabel(text, this), name);
              control->setTextFormat(Qt::PlainText);
              control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
              return control;
          };
    runtime::move(label(lblDisclaimer, 1, "lblDisclaimer", QString()), 120, 2640, 3870, 825);
    lblDisclaimer(1)->setWordWrap(true);

    // The etched rule: a grey line with a white one, two pixels wide, just below it.
    element(Line1, 1, new LineControl(this, { 90, 2445 }, { 5654, 2445 }, QColor(0x808080), 1),
        "Line1");
    runtime::move(
        label(lblTitle, 0, "lblTitle", QStringLiteral("Kalvenmark")), 960, 240, 3885, 480);
    element(Line1, 0, new LineControl(this, { 105, 2460 }, { 5654, 2460 }, QColor(0xffffff), 2),
        "Line1");
    // Starts 720 twips left of the client area on purpose: its left part is out of sight.
    runtime::move(
        label(lblVersion, 0, "lblVersion", QStringLiteral("Version")), -720, 240, 3885, 225);
}

void frmAbout::setTabOrder()
{
    const QList<QWidget*> order { cmdOK(0), picIcon(0), cmdSysInfo(0), lblTitle(0), lblVersion(0),
        lblDisclaimer(1), Picture1, Label1 };
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    const bool plain
        = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        // Neither button is the cancel button, so Escape closes nothing.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && plain) {
            button->click();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::cmdOKClicked(int index)
{
    Q_UNUSED(index);
    runtime::unload(this);
}

void frmAbout::cmdSysInfoClicked(int index)
{
    Q_UNUSED(index);
    StartSysInfo();
}

} // namespace about
