#pragma once

#include "Database.h"

#include <QDate>
#include <QString>
#include <array>

// The shared load/save routines of the data store and the in-memory tables they keep.
// Whichever screen filled a table last defines its content; every consumer fills it again
// before use.

struct CompanySettings {
    QString closingDay = QStringLiteral("20"); // 締日 as stored, trimmed
    int closingDayNo = 20;
    QString dayChange = QStringLiteral("03:00"); // only the hour of 日替時刻 is held
};

struct StartupState {
    QString year;  // 起動年
    QString month; // 起動月
    QString exportPath;
    QString restorePath;
    QString backupPath;
};

// Positions of the 16 times of a work category, in table order.
enum CategoryTime {
    WorkStart,
    WorkEnd,
    LateStart,
    LateEnd,
    Break1Start,
    Break1End,
    Break2Start,
    Break2End,
    Break3Start,
    Break3End,
    EarlyStart,
    EarlyEnd,
    OverStart,
    OverEnd,
    NightStart,
    NightEnd,
    CategoryTimeCount
};

struct Category {
    QString code; // two digits; empty while the slot holds no category
    std::array<QString, CategoryTimeCount> times;
    QString method = QStringLiteral("0：時刻丸め");
    QString unitWork = QStringLiteral("01分");
    QString unitLate = QStringLiteral("01分");
    QString unitOver = QStringLiteral("01分");
    QString base = QStringLiteral("  :  ");
    // Computed at load: minutes of the day, 0 for a blank time.
    std::array<int, CategoryTimeCount> minutes{};
    int baseMinutes = 0;
    int methodNo = 0;
    int unitWorkMin = 1, unitLateMin = 1, unitOverMin = 1;

    Category() { times.fill(QStringLiteral("  :  ")); }
    // Fills the minute values from the texts.
    void computeMinutes();
};

struct Employee {
    QString no;
    QString number; // 社員番号
    QString name;   // 氏名
    QString card;   // カード番号
    QString category = QStringLiteral("01");
    QString active = QStringLiteral("0");
    int flag = 0; // used by the master screens
};

constexpr int kCategorySlots = 11;
constexpr int kEmployeeSlots = 101;
constexpr int kEmployeesStored = 100;

// The category table (slot n holds category n; slot 0 stays empty) and the employee table.
using KubunTable = std::array<Category, kCategorySlots>;
using KojinTable = std::array<Employee, kEmployeeSlots>;

// The program's tables: the screens keep them and hand them to the computation.
extern CompanySettings g_company;
extern StartupState g_startup;
extern KubunTable g_kubun;
extern KojinTable g_kojin;

// The processing month of this run.
struct RunState {
    QString year;  // yyyy
    QString month; // mm
    QString key() const { return year + month; }
};
extern RunState g_run;

// The four database files; the master is open from the login screen's load, the other three
// from the first month start until the end.
struct Databases {
    Database master;
    Database monthly;
    Database intake;
    Database calendar;
};
Databases &dbs();
// Closes all four in the order monthly, master, intake, calendar.
void closeAllDatabases();

// Paths below the program folder.
QString masterDbPath();
QString monthlyDbPath(const QString &key);
QString intakeDbPath();
QString calendarDbPath();
QString backupFileName(const QString &key); // <yyyymm>corvanbk.mdb

// The weekday names for display, Sunday first.
QString weekdayName(const QDate &d);

// Minutes of a "hh:mm" text, a blank pair counting 0.
int hhmmToMinutesLoose(const QString &t);

bool Kaisya_Read();
// Fills g_kubun; returns the number of categories read (0 after a failure, which is shown).
int Kubun_Read();
// The same read into a table of the caller's, for a consumer that must not disturb the
// program's table (the printed category list shows what is stored, not unsaved rows).
int Kubun_Load(KubunTable &into);
int Kubun_Write(int n);
// Fills g_kojin in 社員番号 order (only active cards when activeOnly); returns the number of
// employees (0 after a failure, which is shown, and the table is left reset).
int Kojin_Read(bool activeOnly);
// The same read into a table of the caller's.
int Kojin_Load(KojinTable &into, bool activeOnly);
int Kojin_Write();
// Writes the closing day and/or the day-change time (an empty text leaves that column) to
// 会社 of the monthly and the master database, both or neither, and then into g_company.
// A failure shows its message and changes nothing.
bool Kaisya_Write(const QString &closingDay, const QString &dayChange);
// Returns false when a statement failed (the caller reports it).
bool Calendar_Prepare(const QDate &firstDay, QString *error = nullptr);
int Kidou_Read();
// Sets one column of the single 起動 row in the master database.
bool Kidou_Write(const QString &column, const QString &value);

// Shows a data store failure: message, two line breaks, "エラー：(", number, ")", description.
void showDbFailure(const QString &message, int number, const QString &description);
