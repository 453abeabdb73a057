// (d) program start to login screen shown, and login to main window shown on the first login
// of a month (which copies the master); (e) peak memory of the program with both time-card
// editors open on a full month (100 employees x 31 days x 4 punches).
//
// The runner prepares a program folder and starts itself as the program for each round, so
// that the start-up time includes loading the executable and its libraries:
//   bench_gui [rounds]
//   bench_gui startup  (child; BENCH_T0_NS is the runner's clock when it started it)
//   bench_gui editors  (child)

#include "BenchUtil.h"

#include "app/MDIForm1.h"
#include "app/StartupLogic.h"
#include "app/frmStartUp.h"
#include "common/Common.h"
#include "screens/ScreenTable.h"
#include "screens/WidgetDialogs.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/TestHome.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

qint64 nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

long maxRssKb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// The program's own start: font, dialog layer, login screen (as app/main.cpp).
struct ProgramStart {
    WidgetDialogs dialogs;
    ProgramStart()
    {
        for (const char *family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAGothic"}) {
            if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
                QFont f(QString::fromLatin1(family));
                f.setPointSize(10);
                QApplication::setFont(f);
                break;
            }
        }
        Dialogs::setBackend(&dialogs);
    }
};

// Notes when a top-level window of a name is first painted.
class PaintWatch : public QObject
{
public:
    QHash<QString, qint64> painted;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType()) {
            const QString n = o->objectName();
            if ((n == formName(ScreenId::StartUp) || n == formName(ScreenId::MainWindow)) && !painted.contains(n))
                painted.insert(n, nowNs());
        }
        return false;
    }
};

void login(QWidget *w)
{
    w->findChild<QLineEdit *>(QStringLiteral("txtPwd"))->setText(QStringLiteral("418305"));
    auto *y = w->findChild<QComboBox *>(QStringLiteral("cboYear"));
    y->setCurrentIndex(y->findText(QStringLiteral("2010")));
    auto *m = w->findChild<QComboBox *>(QStringLiteral("cboMonth"));
    m->setCurrentIndex(m->findText(QStringLiteral("12")));
    w->findChild<QPushButton *>(QStringLiteral("cmdStart"))->click();
}

// Child: start, login, and either report the times or open the editors and report memory.
int child(bool editors)
{
    const qint64 t0 = qgetenv("BENCH_T0_NS").toLongLong();
    int argc = 1;
    char name[] = "corvan21";
    char *argv[] = {name, nullptr};
    QApplication app(argc, argv);
    PaintWatch watch;
    app.installEventFilter(&watch);
    ProgramStart start;
    QTimer::singleShot(30000, [] {
        std::printf("timeout: a window or message did not appear\n");
        std::fflush(stdout);
        std::_Exit(1);
    });
    if (!showLoginScreen())
        return 1;
    qint64 clickNs = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!clickNs && watch.painted.contains(formName(ScreenId::StartUp))) {
            QWidget *w = nullptr;
            for (QWidget *t : QApplication::topLevelWidgets())
                if (screenOf(t) == ScreenId::StartUp && t->isVisible())
                    w = t;
            if (!w)
                return;
            const long rssLogin = maxRssKb();
            clickNs = nowNs();
            login(w);
            if (!editors)
                std::printf("rss-login %ld\n", rssLogin);
            return;
        }
        if (clickNs && watch.painted.contains(formName(ScreenId::MainWindow))) {
            poll.stop();
            if (!editors) {
                std::printf("start-to-login %.1f\nlogin-to-main %.1f\nrss-main %ld\n",
                            (watch.painted.value(formName(ScreenId::StartUp)) - t0) / 1e6,
                            (watch.painted.value(formName(ScreenId::MainWindow)) - clickNs) / 1e6, maxRssKb());
                std::fflush(stdout);
                closeAllDatabases();
                std::_Exit(0);
            }
            const long before = maxRssKb();
            MDIForm1::instance()->openScreen(ScreenId::KojinEdit);
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents();
            const long kojin = maxRssKb();
            MDIForm1::instance()->openScreen(ScreenId::ListEdit);
            for (int i = 0; i < 20; ++i)
                QApplication::processEvents();
            const bool bothOpen = MDIForm1::instance()->findScreen(ScreenId::KojinEdit)
                                  && MDIForm1::instance()->findScreen(ScreenId::ListEdit);
            std::printf("rss-main %ld\nrss-kojinedit %ld\nrss-both %ld\nboth-open %d\n", before, kojin, maxRssKb(),
                        bothOpen ? 1 : 0);
            std::fflush(stdout);
            closeAllDatabases();
            std::_Exit(bothOpen ? 0 : 1);
        }
    });
    poll.start();
    return app.exec();
}

bool prepare(TestHome &home)
{
    InstallSettings s;
    s.linkKind = LinkLan;
    s.recorderPort = 4001;
    s.iconFile = QStringLiteral("corvan21.ico");
    s.pictureFile = QStringLiteral("boot.bmp");
    QString why;
    if (!Install_Write(s, &why) || !recordSetupCompleted())
        return false;
    QImage icon(32, 32, QImage::Format_ARGB32);
    icon.fill(Qt::blue);
    QImage pic(400, 300, QImage::Format_RGB32);
    pic.fill(Qt::darkBlue);
    if (!icon.save(programPath(s.iconFile), "ICO") || !pic.save(programPath(s.pictureFile), "BMP"))
        return false;
    Database master;
    if (!master.open(masterDbPath()) || !Bench::seedDatabase(master, 100, false))
        return false;
    return master.exec(QStringLiteral("UPDATE 起動 SET 起動年 = '2010', 起動月 = '12'")) && home.ok();
}

QHash<QString, double> runChild(const QString &mode)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BENCH_T0_NS"), QString::number(nowNs()));
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {mode});
    p.waitForFinished(60000);
    QHash<QString, double> v;
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList kv = line.split(QLatin1Char(' '));
        if (kv.size() == 2)
            v.insert(kv[0], kv[1].toDouble());
        else
            std::printf("  %s: %s\n", qPrintable(mode), qPrintable(line));
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        v.insert(QStringLiteral("failed"), 1);
    return v;
}

Bench::Figures figures(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    Bench::Figures f;
    if (!v.isEmpty()) {
        f.bestMs = v.first();
        f.medianMs = v[v.size() / 2];
    }
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && !strcmp(argv[1], "startup"))
        return child(false);
    if (argc > 1 && !strcmp(argv[1], "editors"))
        return child(true);
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
    TestHome home;
    if (!prepare(home)) {
        std::printf("could not prepare the program folder\n");
        return 1;
    }
    std::printf("program benchmark: 100 employees, %d rounds, %s\n", rounds, qPrintable(Bench::loadAverage()));
    QVector<double> startMs, loginMs;
    for (int i = 0; i < rounds; ++i) {
        QFile::remove(monthlyDbPath(QStringLiteral("201012"))); // every round is the month's first login
        const auto v = runChild(QStringLiteral("startup"));
        if (v.contains(QStringLiteral("failed"))) {
            std::printf("the program run failed\n");
            return 1;
        }
        startMs << v.value(QStringLiteral("start-to-login"));
        loginMs << v.value(QStringLiteral("login-to-main"));
    }
    Bench::report("(d) start to login screen painted", figures(startMs), nullptr, 0, 500);
    Bench::report("(d) first login to main window", figures(loginMs), nullptr, 0, 500);

    // A full month in the month's file (made by the last first login), then the editors.
    {
        Database month;
        if (!month.open(monthlyDbPath(QStringLiteral("201012"))) || !Bench::seedDatabase(month, 100, true)) {
            std::printf("could not fill the month\n");
            return 1;
        }
    }
    QVector<double> rss;
    long rssMain = 0, rssKojin = 0;
    for (int i = 0; i < std::min(rounds, 3); ++i) {
        const auto v = runChild(QStringLiteral("editors"));
        if (v.contains(QStringLiteral("failed"))) {
            std::printf("the editors run failed\n");
            return 1;
        }
        rss << v.value(QStringLiteral("rss-both"));
        rssMain = long(v.value(QStringLiteral("rss-main")));
        rssKojin = long(v.value(QStringLiteral("rss-kojinedit")));
    }
    std::sort(rss.begin(), rss.end());
    const double peakMb = rss.last() / 1024.0;
    std::printf("(e) peak memory, both editors open   %.1f MB (max of %lld runs; main window alone %.1f MB, "
                "individual editor %.1f MB)  target <150 MB: %s\n",
                peakMb, qlonglong(rss.size()), rssMain / 1024.0, rssKojin / 1024.0, peakMb < 150 ? "met" : "MISSED");
    return 0;
}
