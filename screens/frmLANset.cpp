#include "frmLANset.h"

#include "DigitInput.h"
#include "ScreenTable.h"
#include "common/Dialogs.h"
#include "store/ExFile.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {
std::function<void(int)> g_help;

const QString kTitle = QStringLiteral("ＬＡＮ設定");
const QString kInvalid = QStringLiteral("ＩＰアドレスが正しくセットされていません。（0.0.0.0 \uFF5E 255.255.255.255）");
} // namespace

void frmLANset::setHelpHandler(std::function<void(int)> fn) { g_help = std::move(fn); }

frmLANset::frmLANset(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::LANset));
    setWindowTitle(screenTitle(ScreenId::LANset));
    setModal(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("タイムレコーダのＩＰアドレス"), this), 0, 0, 1, 7);
    const QString stored = userSetting(UserKey::IP_adrs, g_recorderAddress);
    const QStringList parts = stored.split(QLatin1Char('.'));
    for (int i = 0; i < 4; ++i) {
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("txtIPaddress_%1").arg(i));
        box->setAlignment(Qt::AlignRight);
        box->setMaximumWidth(56);
        bool ok = false;
        const int v = parts.value(i).toInt(&ok);
        m_octets[i] = ok && v >= 0 && v <= 255 ? v : 0;
        box->setText(QString::number(m_octets[i]));
        box->installEventFilter(this);
        DigitInput::install(box, QString(), 3);
        m_box[i] = box;
        grid->addWidget(box, 1, i * 2);
        if (i < 3)
            grid->addWidget(new QLabel(QStringLiteral("."), this), 1, i * 2 + 1);
    }
    auto *buttons = new QHBoxLayout;
    m_set = new QPushButton(QStringLiteral("変更"), this);
    m_set->setObjectName(QStringLiteral("cmdSet"));
    auto *cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *help = new QPushButton(QStringLiteral("ヘルプ"), this);
    help->setObjectName(QStringLiteral("CmdHelp"));
    for (QPushButton *b : {m_set, cancel, help}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    grid->addLayout(buttons, 2, 0, 1, 7);

    connect(m_set, &QPushButton::clicked, this, &frmLANset::cmdSet_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [] {
        if (g_help)
            g_help(kHelpTopic);
        else
            Dialogs::inform(QStringLiteral("ヘルプは利用できません。"), kTitle, Dialogs::Icon::Exclamation);
    });
}

bool frmLANset::validate(int i, bool losingFocus)
{
    const QString t = m_box[i]->text();
    bool ok = !t.isEmpty() && t.size() <= 3;
    for (const QChar c : t)
        ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const int v = ok ? t.toInt() : -1;
    if (ok && v >= 0 && v <= 255) {
        m_octets[i] = v;
        return true;
    }
    m_reporting = true; // the message box takes the focus: that is no second leaving of the box
    Dialogs::inform(kInvalid, kTitle, Dialogs::Icon::Exclamation);
    m_box[i]->setText(QString::number(m_octets[i]));
    m_reporting = false;
    if (losingFocus) {
        QLineEdit *box = m_box[i];
        QTimer::singleShot(0, box, [box] { box->setFocus(); });
    }
    return false;
}

bool frmLANset::eventFilter(QObject *watched, QEvent *event)
{
    const int i = int(std::find(m_box.begin(), m_box.end(), watched) - m_box.begin());
    if (i >= 4)
        return QDialog::eventFilter(watched, event);
    QLineEdit *box = m_box[i];
    switch (event->type()) {
    case QEvent::FocusIn: QTimer::singleShot(0, box, [box] { box->selectAll(); }); break;
    case QEvent::FocusOut:
        if (!m_reporting)
            validate(i, true);
        break;
    case QEvent::KeyPress: {
        auto *k = static_cast<QKeyEvent *>(event);
        if (k->key() == Qt::Key_Backspace)
            return false;
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (validate(i, false)) {
                if (i < 3)
                    m_box[i + 1]->setFocus();
                else
                    m_set->setFocus();
            }
            return true;
        }
        // Navigation keys are no input; everything else must be a digit that fits.
        if (k->text().isEmpty())
            return false;
        const QString t = k->text();
        const bool digit = DigitInput::isDigitKey(t);
        const int unselected = int(box->text().size() - box->selectedText().size());
        return !(digit && unselected < 3);
    }
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

void frmLANset::cmdSet_Click()
{
    QStringList parts;
    for (int v : m_octets)
        parts << QString::number(v);
    const QString address = parts.join(QLatin1Char('.'));
    if (!setUserSetting(UserKey::IP_adrs, address)) {
        Dialogs::inform(QStringLiteral("設定を保存できませんでした。"), kTitle, Dialogs::Icon::Exclamation);
        return;
    }
    g_recorderAddress = address;
    accept();
}
