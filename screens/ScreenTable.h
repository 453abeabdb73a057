#pragma once

#include <QList>
#include <QString>

#include <optional>

class QWidget;

// Every screen and dialog of the program, by a name the compiler checks. The form name is the
// class name and the widget's objectName: the main window and the tests find screens by it,
// so it never changes.
enum class ScreenId {
    MainWindow,
    StartUp,
    SetMenu,
    DataInput,
    KojinEdit,
    ListEdit,
    MasSet,
    CardSet,
    KubunSet,
    Calendar,
    FileOut,
    ListPrint,
    LANset,
    LanCom,
    UsbCom,
    DataList,
    DateSelect,
    MonthChg,
    SimebiSet,
    PwdChg,
    About,
    InitDateTime,
    InitCloseDay,
    InitConfirm,
    InitPassWord,
};

// One line of the screen table.
struct ScreenEntry {
    ScreenId id;
    const char *formName;
    // The window title; nullptr where the screen makes its own (the program's title, a list's
    // kind, the communication screens' form name).
    const char16_t *title;
    // The toolbar's help topic while the screen is in front; 0 for the default topic.
    int contextTopic;
    // The start routine, run when the main window brings the loaded screen forward again (a
    // new screen starts itself); nullptr when there is none.
    void (*start)(QWidget &screen);
    // The check routine the editing guard asks while the screen is in front: -1 stay, 0 the
    // screen may be left. nullptr for screens that do not edit.
    int (*check)(QWidget &screen);
};

const ScreenEntry &screenEntry(ScreenId id);
QString formName(ScreenId id);
// The fixed window title (empty where the screen makes its own).
QString screenTitle(ScreenId id);
// The screen a widget is by its objectName; nothing for widgets that are no screen.
std::optional<ScreenId> screenOf(const QWidget *widget);
std::optional<ScreenId> screenByName(const QString &formName);
// Every line, in the order of ScreenId.
const QList<ScreenEntry> &screenTable();
