#include "frmAbout.h"

#include "common/Common.h"
#include "screens/ScreenTable.h"
#include "store/ExFile.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVersionNumber>

#ifndef CORVAN_VERSION
#define CORVAN_VERSION "0.0.0"
#endif

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(formName(ScreenId::About));
    setWindowTitle(screenTitle(ScreenId::About));
    setModal(true);
    auto *grid = new QGridLayout(this);
    auto *icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(QIcon(installedFile(g_install.iconFile)).pixmap(48, 48));
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(CORVAN_VERSION));
    auto *version = new QLabel(
        QStringLiteral("Version    ： %1.%2.%3").arg(v.majorVersion()).arg(v.minorVersion()).arg(v.microVersion()),
        this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *title = new QLabel(appTitle(), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    auto *owner = new QLabel(QStringLiteral("Copyright (C) VESKO  All rights reserved."), this);
    owner->setObjectName(QStringLiteral("lblOwner"));
    grid->addWidget(title, 0, 1);
    grid->addWidget(version, 1, 1);
    grid->addWidget(owner, 2, 1);
    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(ok, 3, 1, Qt::AlignRight);
}
