#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

// The error numbers the program reports for database failures of its own finding, named once.
// A failure the driver numbers keeps the driver's number.
namespace DbErr {
constexpr int NotADatabase = 26; // the file is no sound database (SQLite's own number for it)
constexpr int FileNotFound = 53;
constexpr int DriverBase = 3000;      // plus the driver's error type, where it gives no number
constexpr int QueryFailed = 3001;     // a statement on the punches failed without a number of its own
constexpr int NoCurrentRecord = 3021; // a table has no row where one is required
constexpr int ItemNotFound = 3265;    // no such column
constexpr int NotOpen = 3420;         // the database is not open
} // namespace DbErr

// A thin handle on one database file: open, select and walk rows with an exact count,
// execute, transactions, close. Values are always bound as parameters.
class Database
{
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens an existing file. A missing file is an error (the driver would silently create an
    // empty one), and so is a file that is not a sound database.
    bool open(const QString &path);
    // Creates or opens a file without the existence check; used by the installer.
    bool create(const QString &path);
    void close();
    bool isOpen() const;
    QString path() const { return m_path; }

    // Runs a select; every row comes back as texts (NULL as a null QString).
    bool select(const QString &sql, const QVariantList &binds, QVector<QStringList> &rows);
    bool select(const QString &sql, QVector<QStringList> &rows) { return select(sql, {}, rows); }
    bool exec(const QString &sql, const QVariantList &binds = {});

    // BEGIN IMMEDIATE ... COMMIT; rollback() on any failure.
    bool begin();
    bool commit();
    void rollback();

    // The last failure: an error number and description for the program's messages.
    int errorNumber() const { return m_errNo; }
    QString errorText() const { return m_errText; }
    void setError(int number, const QString &text);
    // Records that the database is not open; gives DbErr::NotOpen.
    int setNotOpen();

    QSqlDatabase &handle() { return m_db; }

private:
    bool applySettings();
    bool fromQuery(const class QSqlQuery &q);

    QSqlDatabase m_db;
    QString m_name;
    QString m_path;
    int m_errNo = 0;
    QString m_errText;
};

// Runs fn inside one transaction on each database given, committing all or none.
// Used for the replacements of a table's rows.
template <typename Fn>
bool inTransaction(Database &db, Fn fn)
{
    if (!db.begin())
        return false;
    if (!fn()) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

// Reads inside its life see one state of the file (a deferred transaction, ended at the end of
// the scope). Does nothing when the handle is closed or already inside a transaction.
class ReadScope
{
public:
    explicit ReadScope(Database &db);
    ~ReadScope();
    ReadScope(const ReadScope &) = delete;
    ReadScope &operator=(const ReadScope &) = delete;

private:
    Database &m_db;
    bool m_active = false;
};

// True when the file exists and passes PRAGMA quick_check.
bool isSoundDatabaseFile(const QString &path, QString *why = nullptr);
