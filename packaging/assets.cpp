// corvan21-assets: writes the read-only files an installation shares into a staging folder at
// build time, drawn and written by the same code corvan21-batch init uses for a copy without
// a shared folder:
//   <folder>/corvan21/{help/*.html, corvan21.ico, boot.bmp}
//   <folder>/icons/hicolor/<n>x<n>/apps/corvan21.png
// The folder is emptied first, so that a page no longer written does not linger in a package.

#include "common/Common.h"
#include "tools/corvan21-batch/HelpPages.h"
#include "tools/corvan21-batch/InstallerImages.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

namespace {

int fail(const QString &why)
{
    std::fprintf(stderr, "corvan21-assets: %s\n", why.toLocal8Bit().constData());
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2)
        return fail(QStringLiteral("usage: corvan21-assets FOLDER"));
    const QString out = QDir(args.at(1)).absolutePath();
    if (!QDir(out).removeRecursively() || !QDir().mkpath(out + QStringLiteral("/corvan21")))
        return fail(QStringLiteral("cannot prepare ") + out);

    // The help pages go into the program folder of an installation; here that is the staging.
    qputenv("CORVAN21_HOME", QFile::encodeName(out + QStringLiteral("/corvan21")));
    QStringList created;
    QString why;
    if (!writeHelpPages(created, &why))
        return fail(why);
    if (!drawProgramIcon(64).save(programPath(QStringLiteral("corvan21.ico")), "ICO"))
        return fail(QStringLiteral("cannot write corvan21.ico"));
    if (!drawStartupPicture().save(programPath(QStringLiteral("boot.bmp")), "BMP"))
        return fail(QStringLiteral("cannot write boot.bmp"));

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = out + QStringLiteral("/icons/hicolor/%1x%1/apps").arg(size);
        if (!QDir().mkpath(dir) || !drawProgramIcon(size).save(dir + QStringLiteral("/corvan21.png"), "PNG"))
            return fail(QStringLiteral("cannot write the %1 pixel icon").arg(size));
    }
    return 0;
}
