#include "TestHome.h"

#include "store/DbFile.h"
#include "store/Setup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

TestHome::TestHome(bool withData)
{
    m_oldHome = qgetenv("CORVAN21_HOME");
    m_oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("CORVAN21_HOME", m_dir.path().toUtf8());
    QDir().mkpath(m_dir.path() + QStringLiteral("/config"));
    qputenv("XDG_CONFIG_HOME", (m_dir.path() + QStringLiteral("/config")).toUtf8());
    m_ok = m_dir.isValid();
    if (m_ok && withData) {
        QStringList created;
        m_ok = createDataFiles(created, nullptr);
    }
}

TestHome::~TestHome()
{
    closeAllDatabases();
    qputenv("CORVAN21_HOME", m_oldHome);
    qputenv("XDG_CONFIG_HOME", m_oldConfig);
}

bool TestHome::openMonth(const QString &key)
{
    closeAllDatabases();
    const QString monthly = monthlyDbPath(key);
    if (!QFileInfo::exists(monthly) && !QFile::copy(masterDbPath(), monthly))
        return false;
    g_run.year = key.left(4);
    g_run.month = key.mid(4, 2);
    return dbs().master.open(masterDbPath()) && dbs().monthly.open(monthly) && dbs().intake.open(intakeDbPath())
           && dbs().calendar.open(calendarDbPath());
}
