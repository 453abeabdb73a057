#include "frmPwdChg.h"

#include "HelpCalls.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "common/SjisText.h"
#include "screens/ScreenTable.h"
#include "store/ExFile.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

const QString kTitle = screenTitle(ScreenId::PwdChg);
const QString kRetype = QStringLiteral("\n再入力して下さい。\n");

// Only the printable ASCII characters "!" to "~" can be typed (no blank, nothing full-width).
// Keys that type no character (Tab, Escape, Backspace, Ctrl+ shortcuts, whose text is a
// control character) pass, so that the dialog's keyboard works as in every other dialog.
bool acceptedKey(const QKeyEvent *e)
{
    const QString t = e->text();
    if (t.isEmpty())
        return true; // navigation keys and the like
    for (const QChar c : t) {
        const bool control = c.unicode() < 0x20 || c.unicode() == 0x7f;
        if (!control && (c < QLatin1Char('!') || c > QLatin1Char('~')))
            return false;
    }
    return true;
}

} // namespace

frmPwdChg::frmPwdChg(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::PwdChg));
    setWindowTitle(kTitle);
    setModal(true);
    auto makeBox = [this](const char *name) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setEchoMode(QLineEdit::Password);
        e->setAttribute(Qt::WA_InputMethodEnabled, false);
        e->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhLatinOnly | Qt::ImhNoPredictiveText);
        // Pasted text obeys the same rule as typed text.
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[!-~]*")), e));
        e->installEventFilter(this);
        return e;
    };
    m_old = makeBox("Text1");
    m_new = makeBox("Text2");
    m_confirm = makeBox("Text3");
    m_ok = new QPushButton(QStringLiteral("ＯＫ"), this);
    m_ok->setObjectName(QStringLiteral("cmdOK"));
    auto *cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *help = new QPushButton(QStringLiteral("ヘルプ"), this);
    help->setObjectName(QStringLiteral("CmdHelp"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("古いパスワード"), m_old);
    form->addRow(QStringLiteral("新しいパスワード"), m_new);
    form->addRow(QStringLiteral("確認入力"), m_confirm);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(cancel);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, &frmPwdChg::ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] { showHelp(10007); });
}

bool frmPwdChg::eventFilter(QObject *watched, QEvent *event)
{
    auto *box = qobject_cast<QLineEdit *>(watched);
    if (box && event->type() == QEvent::KeyPress) {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            box->setText(trimBlanks(box->text()));
            if (box == m_old)
                m_new->setFocus();
            else if (box == m_new)
                m_confirm->setFocus();
            else
                m_ok->setFocus();
            return true;
        }
        if (!acceptedKey(k))
            return true;
    }
    if (box && event->type() == QEvent::InputMethod)
        return true; // nothing composed by an input method
    return QDialog::eventFilter(watched, event);
}

void frmPwdChg::refuse(const QString &text, QLineEdit *focus)
{
    Dialogs::inform(text, kTitle, Dialogs::Icon::Exclamation);
    focus->setFocus();
}

void frmPwdChg::ok()
{
    const QString oldPwd = m_old->text();
    const QString newPwd = m_new->text();
    static const QRegularExpression allowed(QStringLiteral("^[0-9a-zA-Z]*$"));
    if (!Password_Test(oldPwd))
        return refuse(QStringLiteral("古いパスワードが間違っています！") + kRetype, m_old);
    if (newPwd == oldPwd)
        return refuse(QStringLiteral("新しいパスワードが古いパスワードと同じです！") + kRetype, m_new);
    if (newPwd.isEmpty())
        return refuse(QStringLiteral("パスワードはクリアできません！") + kRetype, m_new);
    if (newPwd.size() < 4)
        return refuse(QStringLiteral("パスワードは半角４桁以上必要です！") + kRetype, m_new);
    if (!allowed.match(newPwd).hasMatch())
        return refuse(
            QStringLiteral(
                "入力禁止の文字が含まれています！\n入力可能文字は半角0-9、a-z、A-Zです。\n再入力して下さい。"),
            m_new);
    if (m_confirm->text() != newPwd)
        return refuse(QStringLiteral("新しいパスワードと確認入力したパスワードが一致しません。") + kRetype, m_confirm);
    const int err = Password_Write(newPwd);
    if (err != 0) {
        SjisText::WriteResult r;
        r.ok = false;
        r.error = err;
        r.description = passwordFilePath();
        Dialogs::inform(r.message(), kTitle, Dialogs::Icon::Exclamation);
        return;
    }
    accept();
}
