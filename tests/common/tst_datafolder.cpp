// Where an installation keeps its files: CORVAN21_HOME, a writable program folder, the site's
// shared folder from its configuration file, the user's XDG data folder, in that order.

#include "common/Common.h"
#include "common/DataFolderRule.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace DataFolderRule;

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool setWritable(const QString &folder, bool on)
{
    const auto base = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                      | QFileDevice::ReadOther | QFileDevice::ExeOther;
    return QFile::setPermissions(folder, on ? base | QFileDevice::WriteOwner : base);
}

} // namespace

class TestDataFolder : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_bin, m_conf, m_home;

    Inputs inputs() const
    {
        Inputs in;
        in.executableFolder = m_bin;
        in.siteConfigFile = m_conf;
        in.homeFolder = m_home;
        return in;
    }

private slots:
    void init()
    {
        m_bin = m_tmp.filePath(QStringLiteral("bin"));
        m_conf = m_tmp.filePath(QStringLiteral("corvan21.conf"));
        m_home = m_tmp.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(m_bin));
        QVERIFY(setWritable(m_bin, true));
        QFile::remove(m_conf);
    }
    void cleanup() { setWritable(m_bin, true); }

    void theEnvironmentNamesTheFolderOutright()
    {
        Inputs in = inputs();
        in.environment = m_tmp.filePath(QStringLiteral("elsewhere/./x/.."));
        QVERIFY(writeFile(m_conf, "DataFolder=/srv/corvan21\n"));
        const Choice c = resolve(in);
        QCOMPARE(c.source, Source::Environment);
        QCOMPARE(c.folder, m_tmp.filePath(QStringLiteral("elsewhere")));
    }

    void aWritableProgramFolderKeepsItsData()
    {
        QVERIFY(writeFile(m_conf, "DataFolder=/srv/corvan21\n"));
        const Choice c = resolve(inputs());
        QCOMPARE(c.source, Source::ProgramFolder);
        QCOMPARE(c.folder, m_bin);
    }

    // An installed package's folder is not writable: even root, who could write there, keeps
    // out of a folder that carries no write permission, and out of /usr altogether.
    void aReadOnlyProgramFolderIsPassedOver()
    {
        QVERIFY(setWritable(m_bin, false));
        QVERIFY(!writable(m_bin));
        const Choice c = resolve(inputs());
        QCOMPARE(c.source, Source::UserData);
        QCOMPARE(c.folder, m_home + QStringLiteral("/.local/share/corvan21"));

        QVERIFY(!writable(QStringLiteral("/usr/bin")));
        QVERIFY(!writable(QStringLiteral("/usr/local/bin/../bin")));
        QVERIFY(!writable(QStringLiteral("/usr")));
        QVERIFY(!writable(m_tmp.filePath(QStringLiteral("missing"))));
    }

    void theSiteNamesASharedFolder()
    {
        QVERIFY(setWritable(m_bin, false));
        QVERIFY(writeFile(m_conf, "# shared by every account\n; an old comment\n\n"
                                  "Other=1\n  DataFolder = /srv/corvan21/./data/  \n"
                                  "DataFolder=/second/is/ignored\n"));
        Choice c = resolve(inputs());
        QCOMPARE(c.source, Source::SiteConfig);
        QCOMPARE(c.folder, QStringLiteral("/srv/corvan21/data"));

        // A relative name, an empty one or none at all leaves the user's own folder.
        for (const QByteArray &text : {QByteArray("DataFolder=data\n"), QByteArray("DataFolder=\n"),
                                       QByteArray("# DataFolder=/srv/x\nDataFolderX=/srv/y\n")}) {
            QVERIFY(writeFile(m_conf, text));
            c = resolve(inputs());
            QCOMPARE(c.source, Source::UserData);
        }
        QFile::remove(m_conf);
        QCOMPARE(resolve(inputs()).source, Source::UserData);
    }

    void theUserFolderFollowsXdgDataHome()
    {
        QVERIFY(setWritable(m_bin, false));
        Inputs in = inputs();
        in.xdgDataHome = m_tmp.filePath(QStringLiteral("xdg"));
        QCOMPARE(resolve(in).folder, m_tmp.filePath(QStringLiteral("xdg/corvan21")));
        // A relative XDG_DATA_HOME is ignored, as the base directory rules say.
        in.xdgDataHome = QStringLiteral("xdg");
        QCOMPARE(resolve(in).folder, m_home + QStringLiteral("/.local/share/corvan21"));
    }

    // The program's own lookup: CORVAN21_HOME as it stands at each call, so that nothing of an
    // earlier setting sticks.
    void programFolderFollowsTheEnvironment()
    {
        const QByteArray old = qgetenv("CORVAN21_HOME");
        qputenv("CORVAN21_HOME", m_tmp.filePath(QStringLiteral("a")).toUtf8());
        QCOMPARE(programFolder(), m_tmp.filePath(QStringLiteral("a")));
        QCOMPARE(programFolderSource(), Source::Environment);
        qputenv("CORVAN21_HOME", m_tmp.filePath(QStringLiteral("b")).toUtf8());
        QCOMPARE(programPath(QStringLiteral("corvan21.ini")), m_tmp.filePath(QStringLiteral("b/corvan21.ini")));
        qputenv("CORVAN21_HOME", old);
    }

    // A read-only file of the program folder wins over the package's shared copy; one the
    // installation lacks is named where the installation should have it.
    void installedFilesPreferTheProgramFolder()
    {
        const QByteArray old = qgetenv("CORVAN21_HOME");
        qputenv("CORVAN21_HOME", m_tmp.path().toUtf8());
        QVERIFY(writeFile(m_tmp.filePath(QStringLiteral("boot.bmp")), "own"));
        QCOMPARE(installedFile(QStringLiteral("boot.bmp")), m_tmp.filePath(QStringLiteral("boot.bmp")));
        QCOMPARE(installedFile(QStringLiteral("help/none.html")), m_tmp.filePath(QStringLiteral("help/none.html")));
        QVERIFY(shareFolder().endsWith(QStringLiteral("/share/corvan21")));
        qputenv("CORVAN21_HOME", old);
    }
};

QTEST_GUILESS_MAIN(TestDataFolder)
#include "tst_datafolder.moc"
