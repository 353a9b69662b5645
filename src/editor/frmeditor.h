// The editor window: the program's only document window, its text box and its menu bar.
#pragma once

#include <QMainWindow>

class QAction;
class QMenu;
class QPlainTextEdit;

namespace editor {

// The bytes the text box takes at its peak while it places `text`; Open refuses a text that costs
// more than the memory left.
qint64 placingCost(QStringView text);

class frmEditor : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmEditor)

public:
    explicit frmEditor(QWidget* parent = nullptr);
    ~frmEditor() override;

    // The document: the text box and the commands of the menu bar, named as the user knows them.
    QPlainTextEdit* x = nullptr;
    QMenu* fileMenu = nullptr;
    QAction* file = nullptr;
    QAction* new_ = nullptr;
    QAction* sfdart = nullptr;
    QAction* sdafdsfa = nullptr;
    QAction* open = nullptr;
    QAction* save = nullptr;
    QAction* sdfsdafdsaf = nullptr;
    QAction* asdfsdaf = nullptr;
    QAction* print = nullptr;
    QAction* exit = nullptr;
    QAction* about = nullptr;
    QAction* asfd = nullptr;

    // The editor text with CR LF line breaks, every character as typed.
    QString text() const;
    // Replaces the whole editor text in one change; CR LF, LF and CR all break lines.
    void setText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void createMenus();
    void layoutText();
    void applyFontRule();
    void focusMenuBar();

    void newClicked();
    void openClicked();
    void saveClicked();
    void printClicked();
    void exitClicked();
    void aboutClicked();
    void asfdClicked();
    void xChanged();

    QWidget* m_client = nullptr;
    // Alt is down, and no other key came since it went down.
    bool m_loneAlt = false;
};

} // namespace editor
