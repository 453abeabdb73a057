#include "common/SjisText.h"
#include "store/ExFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTest>

namespace {
void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

class TestExFile : public QObject
{
    Q_OBJECT
private slots:
    void passwordFileSkipsBlankLinesAndTrims()
    {
        TestHome home(false);
        writeFile(passwordFilePath(), "\r\n   \r\n\r\n  secret  \r\nother\r\n");
        QCOMPARE(Password_Read(), 0);
        QCOMPARE(g_userPassword, QStringLiteral("secret"));
        QVERIFY(Password_Test(QStringLiteral("secret")));
        QVERIFY(Password_Test(QStringLiteral("418305")));
        QVERIFY(!Password_Test(QStringLiteral("Secret")));
        QVERIFY(!Password_Test(QString()));
    }

    void masterPasswordInFileIsNoUserPassword()
    {
        TestHome home(false);
        writeFile(passwordFilePath(), "418305\r\n");
        QCOMPARE(Password_Read(), 0);
        QVERIFY(g_userPassword.isEmpty());
        QVERIFY(!Password_Test(QString())); // an empty candidate never matches
        QFile::remove(passwordFilePath());
        QCOMPARE(Password_Read(), 0); // missing file: no error, no user password
        QVERIFY(g_userPassword.isEmpty());
    }

    void passwordWrite()
    {
        TestHome home(false);
        QCOMPARE(Password_Write(QStringLiteral("abc123")), 0);
        QFile f(passwordFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("abc123\r\n"));
        f.close();
        QCOMPARE(QFileInfo(passwordFilePath()).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        QCOMPARE(g_userPassword, QStringLiteral("abc123"));
        QCOMPARE(Password_Read(), 0);
        QCOMPARE(g_userPassword, QStringLiteral("abc123"));

        QCOMPARE(Password_Write(QStringLiteral("418305")), 0);
        QVERIFY(!QFile::exists(passwordFilePath()));
        QVERIFY(g_userPassword.isEmpty());
    }

    // A new password that cannot be written leaves the old one in force, in the file and in
    // memory, instead of leaving only the master password.
    void passwordWriteThatFailsKeepsTheOldPassword()
    {
        TestHome home(false);
        QCOMPARE(Password_Write(QStringLiteral("old1")), 0);
        int err = 0;
        {
            FileSizeLimit limit(4);
            QVERIFY(limit.ok());
            err = Password_Write(QStringLiteral("new-and-longer"));
        }
        QVERIFY(err != 0);
        QCOMPARE(g_userPassword, QStringLiteral("old1"));
        QFile f(passwordFilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old1\r\n"));
        f.close();
        QCOMPARE(QDir(QFileInfo(passwordFilePath()).path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QFileInfo(passwordFilePath()).fileName()});
        QCOMPARE(Password_Read(), 0);
        QCOMPARE(g_userPassword, QStringLiteral("old1"));
        QVERIFY(!Password_Test(QStringLiteral("new-and-longer")));

        // With room the new password replaces the old one.
        QCOMPARE(Password_Write(QStringLiteral("new-and-longer")), 0);
        QCOMPARE(Password_Read(), 0);
        QCOMPARE(g_userPassword, QStringLiteral("new-and-longer"));
        QCOMPARE(QFileInfo(passwordFilePath()).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    void linkDefinitions()
    {
        TestHome home(false);
        QCOMPARE(LinkDef_Read(), 0);
        QCOMPARE(g_faqAddress, QString::fromLatin1(kDefaultFaqAddress));
        writeFile(linkDefinitionFilePath(), "'FAQ=http://comment/\r\n=http://nokey/\r\nFAQ=\r\n  FAQ  =  "
                                            "http://faq.example/x  \r\nfaq=http://lower/\r\n");
        QCOMPARE(LinkDef_Read(), 0);
        QCOMPARE(g_faqAddress, QStringLiteral("http://faq.example/x"));
        writeFile(linkDefinitionFilePath(), "FAQ=\r\n=http://nokey/\r\n");
        QCOMPARE(LinkDef_Read(), 0);
        QCOMPARE(g_faqAddress, QString::fromLatin1(kDefaultFaqAddress));
    }

    void userSettingsStore()
    {
        TestHome home(false);
        Settings_Read();
        QCOMPARE(g_recorderAddress, QStringLiteral("192.168.1.200"));
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        Settings_Read();
        QCOMPARE(g_recorderAddress, QStringLiteral("127.0.0.1"));
        QVERIFY(QFile::exists(home.file(QStringLiteral("config/VESKO/Corvan21.conf"))));
        // Keys not stored read as their defaults, or as the fallback a caller gives.
        QCOMPARE(userSetting(UserKey::Syuukei), QStringLiteral("-1"));
        QCOMPARE(userSetting(UserKey::Pass_Wd), QString());
        QCOMPARE(userSetting(UserKey::Syuukei, QStringLiteral("x")), QStringLiteral("x"));
    }

    // The file keeps the key names it has always had: settings written by an earlier version
    // are read, and what is written now is found by it.
    void userSettingsKeepTheirStoredNames()
    {
        TestHome home(false);
        const QString conf = home.file(QStringLiteral("config/VESKO/Corvan21.conf"));
        QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
        writeFile(conf, "[General]\r\nIP_adrs=10.1.2.3\r\nSyuukei=1\r\nPass_Wd=418305\r\n");
        QCOMPARE(userSetting(UserKey::IP_adrs), QStringLiteral("10.1.2.3"));
        QCOMPARE(userSetting(UserKey::Syuukei), QStringLiteral("1"));
        QCOMPARE(userSetting(UserKey::Pass_Wd), QStringLiteral("418305"));

        QFile::remove(conf);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        QVERIFY(setUserSetting(UserKey::Syuukei, QStringLiteral("2")));
        QVERIFY(setUserSetting(UserKey::Pass_Wd, QStringLiteral("418305")));
        QSettings raw(conf, QSettings::IniFormat);
        QCOMPARE(raw.allKeys(),
                 (QStringList{QStringLiteral("IP_adrs"), QStringLiteral("Pass_Wd"), QStringLiteral("Syuukei")}));
        QCOMPARE(raw.value(QStringLiteral("IP_adrs")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(raw.value(QStringLiteral("Syuukei")).toString(), QStringLiteral("2"));
        QCOMPARE(userKeyName(UserKey::Pass_Wd), QStringLiteral("Pass_Wd"));
    }

    void installSettings()
    {
        TestHome home(false);
        QVERIFY(Install_Read() != 0); // missing file is a settings failure
        InstallSettings s;
        s.linkKind = LinkUsb;
        s.commandSet = 1;
        s.recorderPort = 4001;
        s.iconFile = QStringLiteral("corvan21.ico");
        s.pictureFile = QStringLiteral("boot.bmp");
        QVERIFY(Install_Write(s, nullptr));
        QCOMPARE(Install_Read(), 0);
        QCOMPARE(g_install.linkKind, int(LinkUsb));
        QCOMPARE(g_install.commandSet, 1);
        QCOMPARE(g_install.recorderPort, 4001);
        {
            QSettings ini(installSettingsPath(), QSettings::IniFormat);
            ini.remove(QStringLiteral("Install/RecorderPort"));
        }
        QVERIFY(Install_Read() != 0); // a missing value too
        {
            QSettings ini(installSettingsPath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Install/RecorderPort"), QStringLiteral("4001"));
            ini.setValue(QStringLiteral("Install/LinkKind"), QStringLiteral("7"));
        }
        QVERIFY(Install_Read() != 0);
    }
};

QTEST_GUILESS_MAIN(TestExFile)
#include "tst_exfile.moc"
