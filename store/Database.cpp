#include "Database.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QAtomicInt g_counter;
} // namespace

Database::~Database() { close(); }

bool Database::open(const QString &path)
{
    close();
    if (!QFileInfo(path).isFile()) {
        setError(DbErr::FileNotFound, QStringLiteral("ファイルが見つかりません: ") + path);
        return false;
    }
    if (!create(path))
        return false;
    QVector<QStringList> rows;
    if (!select(QStringLiteral("PRAGMA quick_check"), rows) || rows.isEmpty()
        || rows.first().value(0) != QLatin1String("ok")) {
        const QString why = m_errText.isEmpty() ? rows.value(0).value(0) : m_errText;
        const int no = m_errNo ? m_errNo : DbErr::NotADatabase;
        close();
        setError(no, QStringLiteral("データベースが壊れています: ") + why);
        return false;
    }
    return true;
}

bool Database::create(const QString &path)
{
    close();
    m_name = QStringLiteral("corvan-db-%1").arg(g_counter.fetchAndAddRelaxed(1));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    m_db.setDatabaseName(path);
    m_path = path;
    if (!m_db.open()) {
        const QSqlError e = m_db.lastError();
        setError(e.nativeErrorCode().toInt(), e.text());
        close();
        return false;
    }
    return applySettings();
}

bool Database::applySettings()
{
    // DELETE journal keeps a closed database one file (copied for months and backups) and
    // keeps a cross-file ATTACH transaction atomic; FULL sync keeps a committed punch on disk.
    QVector<QStringList> rows;
    if (!select(QStringLiteral("PRAGMA journal_mode=DELETE"), rows))
        return false;
    return exec(QStringLiteral("PRAGMA synchronous=FULL")) && exec(QStringLiteral("PRAGMA busy_timeout=2000"));
}

void Database::close()
{
    if (m_name.isEmpty())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

ReadScope::ReadScope(Database &db) : m_db(db) { m_active = m_db.isOpen() && m_db.handle().transaction(); }

ReadScope::~ReadScope()
{
    if (m_active)
        m_db.handle().commit();
}

bool Database::isOpen() const { return !m_name.isEmpty() && m_db.isOpen(); }

void Database::setError(int number, const QString &text)
{
    m_errNo = number;
    m_errText = text;
}

bool Database::fromQuery(const QSqlQuery &q)
{
    const QSqlError e = q.lastError();
    bool ok = false;
    int no = e.nativeErrorCode().toInt(&ok);
    if (!ok || no == 0)
        no = DbErr::DriverBase + int(e.type()); // no native code: a generic database error number
    QString text = e.databaseText();
    if (text.isEmpty())
        text = e.text();
    setError(no, text);
    return false;
}

int Database::setNotOpen()
{
    setError(DbErr::NotOpen, QStringLiteral("データベースが開かれていません"));
    return DbErr::NotOpen;
}

bool Database::select(const QString &sql, const QVariantList &binds, QVector<QStringList> &rows)
{
    rows.clear();
    if (!isOpen()) {
        setNotOpen();
        return false;
    }
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return fromQuery(q);
    for (const auto &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return fromQuery(q);
    const int cols = q.record().count();
    while (q.next()) {
        QStringList row;
        row.reserve(cols);
        for (int i = 0; i < cols; ++i) {
            const QVariant v = q.value(i);
            row.append(v.isNull() ? QString() : v.toString());
        }
        rows.append(row);
    }
    if (q.lastError().isValid())
        return fromQuery(q);
    return true;
}

bool Database::exec(const QString &sql, const QVariantList &binds)
{
    if (!isOpen()) {
        setNotOpen();
        return false;
    }
    QSqlQuery q(m_db);
    if (!q.prepare(sql))
        return fromQuery(q);
    for (const auto &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return fromQuery(q);
    return true;
}

bool Database::begin() { return exec(QStringLiteral("BEGIN IMMEDIATE")); }
bool Database::commit() { return exec(QStringLiteral("COMMIT")); }

void Database::rollback()
{
    // Keep the error that made us roll back.
    const int no = m_errNo;
    const QString text = m_errText;
    exec(QStringLiteral("ROLLBACK"));
    setError(no, text);
}

bool isSoundDatabaseFile(const QString &path, QString *why)
{
    Database db;
    const bool ok = db.open(path);
    if (!ok && why)
        *why = db.errorText();
    return ok;
}
