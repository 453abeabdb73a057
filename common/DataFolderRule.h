#pragma once

#include <QString>

// Where an installation keeps the files it writes (data/, corvan21.ini, the definition files).
// CORVAN21_HOME names the folder outright. Otherwise the executable's own folder serves when
// the program may write there (a copy built or unpacked by hand); an installed package cannot,
// so its data go to the folder a site names in /etc/corvan21.conf (one folder shared by several
// accounts) or, without one, to the user's own $XDG_DATA_HOME/corvan21. Every program of the
// system resolves the folder the same way, so they all see one installation.
namespace DataFolderRule {

enum class Source { Environment, ProgramFolder, SiteConfig, UserData };

struct Inputs {
    QString environment;      // CORVAN21_HOME as set (empty: not set)
    QString executableFolder; // the folder of the running program
    QString siteConfigFile;   // /etc/corvan21.conf
    QString xdgDataHome;      // XDG_DATA_HOME as set (empty: not set)
    QString homeFolder;       // the user's home, for the default ~/.local/share
};

struct Choice {
    QString folder;
    Source source = Source::ProgramFolder;
};

// The file in which a site names its shared data folder.
inline constexpr const char *kSiteConfigFile = "/etc/corvan21.conf";

Choice resolve(const Inputs &in);

// Whether the program may keep its files in the folder. Nothing under /usr qualifies, even for
// root: that tree belongs to the package manager. Root may write anywhere, so for root a folder
// counts only when some write permission is set on it; others need real write access.
bool writable(const QString &folder);

// The absolute folder named by a "DataFolder=" line of the site's file; empty when the file is
// missing or names none. Lines starting with '#' or ';' are comments.
QString siteDataFolder(const QString &configFile);

// $XDG_DATA_HOME/corvan21 when XDG_DATA_HOME is an absolute path, else ~/.local/share/corvan21.
QString userDataFolder(const QString &xdgDataHome, const QString &homeFolder);

} // namespace DataFolderRule
