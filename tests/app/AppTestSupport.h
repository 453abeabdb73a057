#pragma once

// Shared by the app tests: a complete program folder (databases, corvan21.ini, icon, picture,
// a help page), the desktop hooks recorded instead of run, and small widget finders.

#include "app/AppHooks.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTest>
#include <QUrl>
#include <QWidget>

struct DesktopRecorder {
    QList<QUrl> opened;
    QList<int> ends;
    DesktopRecorder()
    {
        AppHooks::setOpenExternal([this](const QUrl &u) {
            opened << u;
            return true;
        });
        AppHooks::setEndProgram([this](int code) { ends << code; });
    }
    ~DesktopRecorder()
    {
        AppHooks::setOpenExternal({});
        AppHooks::setEndProgram({});
    }
};

inline bool installProgramFiles(int linkKind = LinkLan)
{
    InstallSettings s;
    s.linkKind = linkKind;
    s.commandSet = 0;
    s.recorderPort = 4001;
    s.iconFile = QStringLiteral("corvan21.ico");
    s.pictureFile = QStringLiteral("boot.bmp");
    QString why;
    if (!Install_Write(s, &why))
        return false;
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    QImage pic(200, 100, QImage::Format_RGB32);
    pic.fill(Qt::darkBlue);
    QDir().mkpath(programPath(QStringLiteral("help")));
    QFile page(programPath(QStringLiteral("help/10002.html")));
    page.open(QIODevice::WriteOnly);
    page.write("<html></html>");
    return icon.save(programPath(s.iconFile), "ICO") && pic.save(programPath(s.pictureFile), "BMP");
}

// The visible top-level widget of that objectName.
inline QWidget *topLevel(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

template <typename T = QWidget>
T *child(QWidget *parent, const QString &name)
{
    return parent ? parent->findChild<T *>(name) : nullptr;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QString cell(Database &db, const QString &sql)
{
    QVector<QStringList> rows;
    db.select(sql, rows);
    return rows.value(0).value(0);
}

// Closes every top-level window left by a test.
inline void closeAllWindows()
{
    QList<QPointer<QWidget>> all;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!w->parentWidget())
            all << w;
    for (const auto &w : all)
        delete w.data();
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
