#pragma once

#include <QString>

// Settings that do not live in the databases: the per-user settings store, the password
// and link-definition files in the program folder, and the installation settings.

constexpr const char *kMasterPassword = "418305";
constexpr const char *kDefaultRecorderAddress = "192.168.1.200";
// The support page: the installed help/faq.html, unless veskourl.def names another (an address
// without a scheme is a file below the program folder).
constexpr const char *kDefaultFaqAddress = "help/faq.html";

enum LinkKind { LinkUsb = 0, LinkLan = 1 };

struct InstallSettings {
    int linkKind = LinkLan;
    int commandSet = 0;
    int recorderPort = 0;
    QString iconFile;    // relative to the program folder
    QString pictureFile; // relative to the program folder
};

extern InstallSettings g_install;
extern QString g_userPassword; // empty when none is set
extern QString g_faqAddress;
extern QString g_recorderAddress;

QString passwordFilePath();       // veskopw.def
QString linkDefinitionFilePath(); // veskourl.def
QString installSettingsPath();    // corvan21.ini

// Each returns 0, or an error number.
int Password_Read();
bool Password_Test(const QString &candidate);
int Password_Write(const QString &newPassword);
int LinkDef_Read();
void Settings_Read();
int Install_Read();

// The per-user settings store (VESKO / Corvan21), keys at the top level of its file, under the
// names the file has always used.
enum class UserKey {
    IP_adrs, // the recorder's address (LAN)
    Syuukei, // the payroll package of ファイル出力's totals (-1: the program's own layout)
    Pass_Wd, // the master password, written by the setup wizard
};
QString userKeyName(UserKey key);
// The stored value, or the key's default when the key is not there.
QString userSetting(UserKey key);
// The stored value, or fallback when the key is not there.
QString userSetting(UserKey key, const QString &fallback);
bool setUserSetting(UserKey key, const QString &value);

// Writes corvan21.ini (the installer). Returns false with a reason when it cannot.
bool Install_Write(const InstallSettings &s, QString *why);
