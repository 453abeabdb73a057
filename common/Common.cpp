#include "Common.h"

#include "Dialogs.h"
#include "SjisText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString appTitle() { return QStringLiteral("CORVAN21"); }

namespace Clock {

QDateTime now()
{
    const QByteArray fixed = qgetenv("CORVAN21_NOW");
    if (!fixed.isEmpty()) {
        QDateTime t = QDateTime::fromString(QString::fromLatin1(fixed), Qt::ISODate);
        if (!t.isValid())
            t = QDateTime(QDate::fromString(QString::fromLatin1(fixed), Qt::ISODate), QTime(0, 0));
        if (t.isValid())
            return t;
    }
    return QDateTime::currentDateTime();
}

QDate today() { return now().date(); }

} // namespace Clock

namespace {

// The rule reads the file system and /etc/corvan21.conf, and every path of the program goes
// through it: it is resolved once per set of the environment variables it depends on.
DataFolderRule::Choice currentChoice()
{
    DataFolderRule::Inputs in;
    in.environment = qEnvironmentVariable("CORVAN21_HOME");
    if (!in.environment.isEmpty())
        return DataFolderRule::resolve(in);
    in.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    in.homeFolder = QDir::homePath();
    static QString cachedKey;
    static DataFolderRule::Choice cached;
    const QString key = in.xdgDataHome + QChar(0) + in.homeFolder;
    if (cached.folder.isEmpty() || key != cachedKey) {
        in.executableFolder = QCoreApplication::applicationDirPath();
        in.siteConfigFile = QString::fromLatin1(DataFolderRule::kSiteConfigFile);
        cached = DataFolderRule::resolve(in);
        cachedKey = key;
    }
    return cached;
}

} // namespace

QString programFolder() { return currentChoice().folder; }

DataFolderRule::Source programFolderSource() { return currentChoice().source; }

QString shareFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/')
                           + QStringLiteral(CORVAN_SHARE_FROM_BIN));
}

QString installedFile(const QString &relative)
{
    const QString own = programPath(relative);
    if (QFileInfo::exists(own))
        return own;
    const QString shared = shareFolder() + QLatin1Char('/') + relative;
    return QFileInfo::exists(shared) ? shared : own;
}

QString dataFolder() { return programFolder() + QStringLiteral("/data"); }

QString programPath(const QString &relative) { return programFolder() + QLatin1Char('/') + relative; }

int DaysInMonth(int year, int month)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11: return 30;
    case 2: return year % 4 == 0 ? 29 : 28;
    default: return 31;
    }
}

int ByteLength(const QString &text) { return int(SjisText::encode(text).size()); }

QString OsName() { return QString(); }

void ErrorReport(int number, const QString &description)
{
    Dialogs::inform(QStringLiteral("エラー番号") + QString::number(number) + QLatin1Char('\r') + description,
                    appTitle(), Dialogs::Icon::Exclamation);
}

QString trimBlanks(const QString &s)
{
    // Most stored values carry no blanks at either end: those come back as the string itself,
    // sharing its data instead of copying it.
    const QStringView t = trimBlanks(QStringView(s));
    return t.size() == s.size() ? s : t.toString();
}

QStringView trimBlanks(QStringView s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' '))
        ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' '))
        --e;
    return s.sliced(b, e - b);
}

QString zeroPad(qint64 value, int width)
{
    // Dates, codes and times are padded for every punch a month shows; writing the digits
    // directly is many times cheaper than QString::arg. Negative values keep arg's layout.
    if (value < 0)
        return QStringLiteral("%1").arg(value, width, 10, QLatin1Char('0'));
    char16_t digits[20];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value > 0);
    const int pad = width > n ? width - n : 0;
    QString s(pad + n, Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(s.data());
    for (int i = 0; i < pad; ++i)
        *out++ = u'0';
    while (n > 0)
        *out++ = digits[--n];
    return s;
}
