// The About dialog and the system information launcher.
#pragma once

#include <services.h>

#include <QDialog>
#include <QMap>
#include <QString>

class QFrame;
class QKeyEvent;
class QLabel;
class QPushButton;

namespace about {

// A control array: controls of one name, each keeping the index it was designed with.
template <typename Control>
class ControlArray {
public:
    // The element at `index`; nullptr where there is none.
    Control* operator()(int index) const { return m_elements.value(index); }
    void add(int index, Control* element) { m_elements.insert(index, element); }
    QList<int> indexes() const { return m_elements.keys(); }

private:
    QMap<int, Control*> m_elements;
};

// The About dialog: the product title, a banner, OK and System Info. Modeless; one at a time
// (see runtime::show). No code runs when it loads: every text stays as designed.
class frmAbout : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmAbout)

public:
    explicit frmAbout(QWidget* parent = nullptr);
    ~frmAbout() override;

    // The controls, in the order they are created (later ones lie above earlier ones).
    QFrame* Picture1 = nullptr;
    QLabel* Label1 = nullptr;
    ControlArray<QLabel> picIcon;
    ControlArray<QPushButton> cmdOK;
    ControlArray<QPushButton> cmdSysInfo;
    ControlArray<QLabel> lblDisclaimer;
    ControlArray<QWidget> Line1;
    ControlArray<QLabel> lblTitle;
    ControlArray<QLabel> lblVersion;

    // Click handlers: they receive the element's index and have no use for it.
    void cmdOKClicked(int index);
    void cmdSysInfoClicked(int index);

    // Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` into `KeyVal`: the text
    // of a string, the decimal text of a 32-bit number, and `KeyVal` as passed for any other
    // type. False, with `KeyVal` empty, when the key cannot be opened or the value read. A value
    // of no bytes raises run-time error 5 and leaves `KeyVal` as passed.
    bool GetKeyValue(
        runtime::RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal);
    // Starts the system information program the registry names, or says it is unavailable.
    void StartSysInfo();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createFrame();
    void createButtons();
    void createTexts();
    void setTabOrder();
};

} // namespace about
