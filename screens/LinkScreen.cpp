#include "LinkScreen.h"

#include <QHBoxLayout>
#include <QLabel>

LinkScreen::LinkScreen(ScreenId screen, QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(screen));
    setWindowTitle(objectName());
    setModal(true);
    auto *lay = new QHBoxLayout(this);
    auto *label = new QLabel(QStringLiteral(" 送受信中"), this);
    label->setObjectName(QStringLiteral("Label1"));
    lay->addWidget(label);
    move(0, 0);
}

void LinkScreen::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    move(0, 0);
    if (!m_started && m_start) {
        m_started = true;
        m_start();
    }
}

void LinkScreen::reject()
{
    if (!m_isFinished || m_isFinished())
        QDialog::reject();
}
