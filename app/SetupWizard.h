#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

// The first-run setup wizard: date and time, closing day, confirmation (which writes the
// master database and records the setup as done) and the initial password. Each screen opens
// the next and closes itself; closing one any other way asks whether to stop the setup.

// What the wizard has gathered so far.
struct WizardState {
    QString year, month, day; // the computer's date when Next was pressed on the first screen
    QString closingDay;       // "1".."28", or "31" for month end; empty until chosen
};
WizardState &wizardState();

// The master password in full-width digits with a blank before and after it.
QString initialPasswordText();

// A wizard screen: knows whether it closes to move on, and otherwise asks before it ends
// the program.
class WizardScreen : public QDialog
{
    Q_OBJECT
public:
    explicit WizardScreen(const QString &question, QWidget *parent = nullptr);

protected:
    // Shows the next (or previous) screen where this one stands, then closes this one.
    void moveTo(WizardScreen *next);
    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); } // Escape asks like the close box

    bool m_movingOn = false;

private:
    QString m_question;
};

class frmInitDateTime : public WizardScreen
{
    Q_OBJECT
public:
    explicit frmInitDateTime(QWidget *parent = nullptr);
public slots:
    void next();

private:
    QLabel *m_dateTime;
};

class frmInitCloseDay : public WizardScreen
{
    Q_OBJECT
public:
    explicit frmInitCloseDay(QWidget *parent = nullptr);
public slots:
    void next();
    void back();

private:
    void storeChoice();
    QComboBox *m_simebi;
    QPushButton *m_next;
};

class frmInitConfirm : public WizardScreen
{
    Q_OBJECT
public:
    explicit frmInitConfirm(QWidget *parent = nullptr);
public slots:
    void back();
    void finish();

private:
    QLabel *m_dateTime;
};

class frmInitPassWord : public WizardScreen
{
    Q_OBJECT
public:
    explicit frmInitPassWord(QWidget *parent = nullptr);
public slots:
    void ok();
};

// Starts the wizard with its first screen.
void startSetupWizard();
