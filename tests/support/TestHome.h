#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh program folder for one test: CORVAN21_HOME and XDG_CONFIG_HOME point into a
// temporary folder, data/ holds newly made master, intake and calendar databases.
class TestHome
{
public:
    // withData: create data/ and the three databases.
    explicit TestHome(bool withData = true);
    ~TestHome();

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return m_dir.path() + QLatin1Char('/') + relative; }
    bool ok() const { return m_ok; }

    // Opens master, monthly (created by copying the master when missing), intake and calendar
    // databases of processing month key (yyyymm), as a login does.
    bool openMonth(const QString &key);

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome, m_oldConfig;
    bool m_ok = false;
};
