// The password file is never readable by another user, not even for a moment while it is being
// written. A write is watched where its bytes are pushed to the disk: this program's fsync and
// fdatasync note the mode of every file they are given below the watched folder.

#include "common/SjisText.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray g_watched; // folder whose files are noted, with a trailing slash
QList<QPair<QByteArray, mode_t>> g_synced;

void noteSync(int fd)
{
    if (g_watched.isEmpty())
        return;
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    struct stat st {
    };
    if (n <= 0 || fstat(fd, &st) != 0)
        return;
    const QByteArray path(target, int(n));
    if (path.startsWith(g_watched))
        g_synced.append({path, st.st_mode & 07777});
}

// Sets the umask for a scope: files made without explicit permissions get 0666 & ~mask.
struct Umask {
    explicit Umask(mode_t m) : old(::umask(m)) {}
    ~Umask() { ::umask(old); }
    mode_t old;
};

} // namespace

extern "C" int fsync(int fd)
{
    noteSync(fd);
    return int(syscall(SYS_fsync, fd));
}

extern "C" int fdatasync(int fd)
{
    noteSync(fd);
    return int(syscall(SYS_fdatasync, fd));
}

class TestPasswordFile : public QObject
{
    Q_OBJECT

private slots:
    void newPasswordFileIsOwnerOnlyFromTheStart()
    {
        TestHome home(false);
        const Umask usual(022);
        g_watched = QFile::encodeName(QDir(home.path()).canonicalPath()) + '/';
        g_synced.clear();
        QCOMPARE(Password_Write(QStringLiteral("abc123")), 0); // a new file
        QCOMPARE(Password_Write(QStringLiteral("def456")), 0); // replacing it
        g_watched.clear();

        QVERIFY2(g_synced.size() >= 2, "the writes were not seen");
        for (const auto &[path, mode] : std::as_const(g_synced))
            QVERIFY2((mode & 077) == 0,
                     qPrintable(QStringLiteral("%1 had mode %2").arg(QString::fromLocal8Bit(path)).arg(mode, 0, 8)));
        QCOMPARE(QFileInfo(passwordFilePath()).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
        QFile f(passwordFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("def456\r\n"));
        // Nothing but the file is left in the folder.
        QCOMPARE(QDir(home.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("veskopw.def")});
    }

    // The writer itself: owner-only whatever the umask, the old file replaced whole, and a
    // folder that refuses the file reported without leaving anything behind.
    void privateWrites()
    {
        QTemporaryDir dir;
        const Umask open(0);
        const QString path = dir.filePath(QStringLiteral("secret.def"));
        QVERIFY(writePrivateFileAtomic(path, "one\r\n").ok);
        QCOMPARE(QFileInfo(path).permissions(),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);
        QVERIFY(writePrivateFileAtomic(path, "two\r\n").ok);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("two\r\n"));
        const auto r = writePrivateFileAtomic(dir.filePath(QStringLiteral("missing/secret.def")), "x");
        QVERIFY(!r.ok);
        QVERIFY(!r.description.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("secret.def")});
    }
};

QTEST_GUILESS_MAIN(TestPasswordFile)
#include "tst_passwordfile.moc"
