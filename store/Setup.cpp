#include "Setup.h"

#include "Database.h"
#include "DbFile.h"
#include "Schema.h"
#include "common/Common.h"

#include <QDir>
#include <QFileInfo>

namespace {

bool makeDb(const QString &path, bool (*schema)(Database &), bool seed, QStringList &created, QString *why)
{
    if (QFileInfo::exists(path))
        return true;
    // Build under a temporary name and rename at the end, so an interrupted install never
    // leaves a half-made database under the real name.
    const QString tmp = path + QStringLiteral(".new");
    QFile::remove(tmp);
    {
        Database db;
        bool ok = db.create(tmp) && schema(db);
        if (ok && seed) {
            const QDate t = Clock::today();
            ok = Schema::seedMain(db, zeroPad(t.year(), 4), zeroPad(t.month(), 2));
        }
        if (!ok) {
            if (why)
                *why = QStringLiteral("%1 を作成できませんでした: %2").arg(path, db.errorText());
            db.close();
            QFile::remove(tmp);
            return false;
        }
    }
    if (!QFile::rename(tmp, path)) {
        if (why)
            *why = QStringLiteral("%1 を作成できませんでした").arg(path);
        QFile::remove(tmp);
        return false;
    }
    created << path;
    return true;
}

} // namespace

bool createDataFiles(QStringList &created, QString *why)
{
    const QString data = dataFolder();
    if (!QFileInfo(data).isDir()) {
        if (!QDir().mkpath(data)) {
            if (why)
                *why = QStringLiteral("フォルダ %1 を作成できませんでした").arg(data);
            return false;
        }
        created << data;
    }
    return makeDb(masterDbPath(), &Schema::createMain, true, created, why)
           && makeDb(intakeDbPath(), &Schema::createIntake, false, created, why)
           && makeDb(calendarDbPath(), &Schema::createCalendar, false, created, why);
}
