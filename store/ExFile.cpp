#include "ExFile.h"

#include "common/Common.h"
#include "common/SjisText.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <iterator>
#include <memory>

InstallSettings g_install;
QString g_userPassword;
QString g_faqAddress = QString::fromLatin1(kDefaultFaqAddress);
QString g_recorderAddress = QString::fromLatin1(kDefaultRecorderAddress);

QString passwordFilePath() { return programPath(QStringLiteral("veskopw.def")); }
QString linkDefinitionFilePath() { return programPath(QStringLiteral("veskourl.def")); }
QString installSettingsPath() { return programPath(QStringLiteral("corvan21.ini")); }

namespace {

// Reads a text file the way the program writes them (Shift-JIS); returns its lines without
// line ends. Returns false and the error number when the file cannot be read.
bool readLines(const QString &path, QStringList &lines, int &err)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        err = int(f.error());
        return false;
    }
    const QString text = SjisText::decode(f.readAll());
    if (f.error() != QFileDevice::NoError) {
        err = int(f.error());
        return false;
    }
    lines = text.split(QLatin1Char('\n'));
    for (auto &l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return true;
}

struct UserKeyLine {
    UserKey key;
    const char *name;
    const char *defaultValue;
};

// In the order of UserKey.
constexpr UserKeyLine kUserKeys[] = {
    {UserKey::IP_adrs, "IP_adrs", kDefaultRecorderAddress},
    {UserKey::Syuukei, "Syuukei", "-1"},
    {UserKey::Pass_Wd, "Pass_Wd", ""},
};
static_assert(std::size(kUserKeys) == size_t(UserKey::Pass_Wd) + 1);

constexpr bool userKeysInOrder()
{
    for (size_t i = 0; i < std::size(kUserKeys); ++i)
        if (kUserKeys[i].key != UserKey(i))
            return false;
    return true;
}
static_assert(userKeysInOrder(), "one line per UserKey, in its order");

// The group and keys of corvan21.ini that the installer writes and every start reads.
const QString kInstallGroup = QStringLiteral("Install");
const QString kLinkKindKey = QStringLiteral("LinkKind");
const QString kCommandSetKey = QStringLiteral("CommandSet");
const QString kRecorderPortKey = QStringLiteral("RecorderPort");
const QString kIconFileKey = QStringLiteral("IconFile");
const QString kPictureFileKey = QStringLiteral("PictureFile");

// VESKO/Corvan21.conf in the user's config folder. The path is worked out on each use (Qt
// caches its own user-scope path for the whole process), so a changed XDG_CONFIG_HOME holds.
std::unique_ptr<QSettings> userStore()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(dir + QStringLiteral("/VESKO/Corvan21.conf"), QSettings::IniFormat);
}

} // namespace

int Password_Read()
{
    g_userPassword.clear();
    const QString path = passwordFilePath();
    if (!QFileInfo::exists(path))
        return 0;
    QStringList lines;
    int err = 0;
    if (!readLines(path, lines, err))
        return err ? err : 1;
    for (const QString &l : lines) {
        const QString t = trimBlanks(l);
        if (t.isEmpty())
            continue;
        if (t != QLatin1String(kMasterPassword))
            g_userPassword = t;
        break;
    }
    return 0;
}

bool Password_Test(const QString &candidate)
{
    if (candidate == QLatin1String(kMasterPassword))
        return true;
    return !g_userPassword.isEmpty() && candidate == g_userPassword;
}

int Password_Write(const QString &newPassword)
{
    const QString path = passwordFilePath();
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    if (newPassword.isEmpty() || newPassword == QLatin1String(kMasterPassword)) {
        if (QFileInfo::exists(path) && !QFile::remove(path))
            return int(QFileDevice::RemoveError);
        g_userPassword.clear();
        return 0;
    }
    // A new password replaces the old file in one step. Deleting the old file first would, when
    // the new one cannot be written (a full disk), leave the user's password gone and only the
    // master password open; this way the old password stays in force, on disk and here.
    // Owner-only permissions, from the file's first moment on, stand in for the hidden attribute.
    const auto r = writePrivateFileAtomic(path, SjisText::encode(newPassword) + "\r\n");
    if (!r.ok)
        return r.error ? r.error : 1;
    g_userPassword = newPassword;
    return 0;
}

int LinkDef_Read()
{
    g_faqAddress = QString::fromLatin1(kDefaultFaqAddress);
    const QString path = linkDefinitionFilePath();
    if (!QFileInfo::exists(path))
        return 0;
    QStringList lines;
    int err = 0;
    if (!readLines(path, lines, err))
        return err ? err : 1;
    for (const QString &l : lines) {
        if (l.startsWith(QLatin1Char('\'')))
            continue;
        const qsizetype eq = l.indexOf(QLatin1Char('='));
        if (eq < 1) // no "=", or the key would start at position 1
            continue;
        const QString key = trimBlanks(l.left(eq));
        const QString value = trimBlanks(l.mid(eq + 1));
        if (value.isEmpty())
            continue;
        if (key == QLatin1String("FAQ"))
            g_faqAddress = value;
    }
    return 0;
}

void Settings_Read() { g_recorderAddress = userSetting(UserKey::IP_adrs); }

int Install_Read()
{
    const QString path = installSettingsPath();
    if (!QFileInfo(path).isFile())
        return 53;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return 1;
    ini.beginGroup(kInstallGroup);
    InstallSettings s;
    bool ok1 = false, ok2 = false, ok3 = false;
    s.linkKind = ini.value(kLinkKindKey).toString().toInt(&ok1);
    s.commandSet = ini.value(kCommandSetKey).toString().toInt(&ok2);
    s.recorderPort = ini.value(kRecorderPortKey).toString().toInt(&ok3);
    s.iconFile = ini.value(kIconFileKey).toString();
    s.pictureFile = ini.value(kPictureFileKey).toString();
    if (!ok1 || !ok2 || !ok3 || (s.linkKind != LinkUsb && s.linkKind != LinkLan)
        || (s.commandSet != 0 && s.commandSet != 1) || s.recorderPort < 1 || s.recorderPort > 65535
        || s.iconFile.isEmpty() || s.pictureFile.isEmpty())
        return 2;
    g_install = s;
    return 0;
}

bool Install_Write(const InstallSettings &s, QString *why)
{
    QSettings ini(installSettingsPath(), QSettings::IniFormat);
    ini.beginGroup(kInstallGroup);
    ini.setValue(kLinkKindKey, QString::number(s.linkKind));
    ini.setValue(kCommandSetKey, QString::number(s.commandSet));
    ini.setValue(kRecorderPortKey, QString::number(s.recorderPort));
    ini.setValue(kIconFileKey, s.iconFile);
    ini.setValue(kPictureFileKey, s.pictureFile);
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        if (why)
            *why = QStringLiteral("%1 を書き込めませんでした").arg(installSettingsPath());
        return false;
    }
    return true;
}

QString userKeyName(UserKey key) { return QString::fromLatin1(kUserKeys[size_t(key)].name); }

QString userSetting(UserKey key) { return userSetting(key, QString::fromLatin1(kUserKeys[size_t(key)].defaultValue)); }

QString userSetting(UserKey key, const QString &fallback)
{
    return userStore()->value(userKeyName(key), fallback).toString();
}

bool setUserSetting(UserKey key, const QString &value)
{
    auto s = userStore();
    s->setValue(userKeyName(key), value);
    s->sync();
    return s->status() == QSettings::NoError;
}
