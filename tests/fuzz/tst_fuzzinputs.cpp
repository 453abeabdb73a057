#include "fuzz/FuzzChecks.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

// Every seed of fuzz/corpus/<target>/ and every input of fuzz/regressions/<target>/ through
// the same checks the fuzz targets run.
class TstFuzzInputs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The definition-file check writes into the program folder.
        m_home = std::make_unique<TestHome>(false);
        QVERIFY(m_home->ok());
    }

    void cleanupTestCase() { m_home.reset(); }

    // A target without seeds would be replayed by nothing and pass unseen.
    void everyTargetHasSeeds()
    {
        for (const FuzzChecks::Target &t : FuzzChecks::kTargets) {
            const QDir dir(QStringLiteral(CORVAN_FUZZ_DIR "/corpus/") + QLatin1String(t.name));
            QVERIFY2(!dir.entryList(QDir::Files).isEmpty(), qPrintable(dir.path() + QStringLiteral(" has no seeds")));
        }
    }

    void replay_data()
    {
        QTest::addColumn<int>("target");
        QTest::addColumn<QString>("path");
        for (int i = 0; i < int(FuzzChecks::kTargets.size()); ++i) {
            const QString name = QLatin1String(FuzzChecks::kTargets[size_t(i)].name);
            for (const QString &folder : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
                const QDir dir(QStringLiteral(CORVAN_FUZZ_DIR "/") + folder + QLatin1Char('/') + name);
                for (const QString &f : dir.entryList(QDir::Files, QDir::Name))
                    QTest::newRow(qPrintable(name + QLatin1Char('/') + folder + QLatin1Char('/') + f))
                        << i << dir.filePath(f);
            }
        }
    }

    void replay()
    {
        QFETCH(int, target);
        QFETCH(QString, path);
        QFile f(path);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(path));
        const QString failure = FuzzChecks::kTargets[size_t(target)].check(f.readAll());
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

private:
    std::unique_ptr<TestHome> m_home;
};

QTEST_GUILESS_MAIN(TstFuzzInputs)
#include "tst_fuzzinputs.moc"
