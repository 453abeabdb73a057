#include "ScreenTable.h"

#include "frmCalendar.h"
#include "frmCardSet.h"
#include "frmKojinEdit.h"
#include "frmKubunSet.h"
#include "frmListEdit.h"
#include "frmMasSet.h"

#include <QWidget>

#include <iterator>
#include <type_traits>

namespace {

template <typename>
struct ClassOf;
template <typename C, typename R, typename... A>
struct ClassOf<R (C::*)(A...)> {
    using type = C;
};

// The routines are called directly, through member-function pointers, so that a renamed or
// removed routine fails to compile instead of being skipped at run time. A widget that carries
// a screen's name without being that screen gets nothing called.
template <auto Routine>
void startWith(QWidget &w)
{
    using Screen = typename ClassOf<decltype(Routine)>::type;
    if (auto *s = dynamic_cast<Screen *>(&w))
        (s->*Routine)();
}

template <auto Routine>
int checkWith(QWidget &w)
{
    using Screen = typename ClassOf<decltype(Routine)>::type;
    auto *s = dynamic_cast<Screen *>(&w);
    if (!s)
        return 0;
    if constexpr (std::is_invocable_v<decltype(Routine), Screen &>)
        return (s->*Routine)();
    else
        return (s->*Routine)(0); // 0: the screen is in front and may take the keyboard focus
}

// In the order of ScreenId (checked below).
constexpr ScreenEntry kScreens[] = {
    {ScreenId::MainWindow, "MDIForm1", nullptr, 0, nullptr, nullptr},
    {ScreenId::StartUp, "frmStartUp", nullptr, 0, nullptr, nullptr},
    {ScreenId::SetMenu, "frmSetMenu", u"設定メニュー", 10002, nullptr, nullptr},
    {ScreenId::DataInput, "frmDataInput", u"データ収集", 10010, nullptr, nullptr},
    {ScreenId::KojinEdit, "frmKojinEdit", u"個人修正", 10012, startWith<&frmKojinEdit::KojinEdit_Start>,
     checkWith<&frmKojinEdit::KojinEdit_check>},
    {ScreenId::ListEdit, "frmListEdit", u"一覧修正", 10013, startWith<&frmListEdit::ListEdit_Start>,
     checkWith<&frmListEdit::ListEdit_check>},
    {ScreenId::MasSet, "frmMasSet", u"個人マスタ登録", 10003, startWith<&frmMasSet::MasterEdit_Start>,
     checkWith<&frmMasSet::MasSet_check>},
    // The intake screen brings the card screen forward itself, starting it only without edits.
    {ScreenId::CardSet, "frmCardSet", u"カード番号登録", 10011, nullptr, checkWith<&frmCardSet::CardSet_check>},
    {ScreenId::KubunSet, "frmKubunSet", u" 勤務区分 設定 ", 10004, nullptr, checkWith<&frmKubunSet::KubunSet_check>},
    {ScreenId::Calendar, "frmCalendar", u"カレンダー設定", 10005, nullptr, checkWith<&frmCalendar::Calendar_Check>},
    {ScreenId::FileOut, "frmFileOut", u"ファイル出力", 10014, nullptr, nullptr},
    {ScreenId::ListPrint, "frmListPrint", u"帳票印刷", 10015, nullptr, nullptr},
    {ScreenId::LANset, "frmLANset", u"ＬＡＮ 設定", 0, nullptr, nullptr},
    {ScreenId::LanCom, "frmLanCom", nullptr, 0, nullptr, nullptr},
    {ScreenId::UsbCom, "frmUsbCom", nullptr, 0, nullptr, nullptr},
    {ScreenId::DataList, "frmDataList", nullptr, 0, nullptr, nullptr},
    {ScreenId::DateSelect, "frmDateSelect", u"日付選択", 0, nullptr, nullptr},
    {ScreenId::MonthChg, "frmMonthChg", u"処理月変更", 0, nullptr, nullptr},
    {ScreenId::SimebiSet, "frmSimebiSet", u"締日、日替時刻　設定", 0, nullptr, nullptr},
    {ScreenId::PwdChg, "frmPwdChg", u"パスワード変更", 0, nullptr, nullptr},
    {ScreenId::About, "frmAbout", u"バージョン情報", 0, nullptr, nullptr},
    {ScreenId::InitDateTime, "frmInitDateTime", u"日時設定", 0, nullptr, nullptr},
    {ScreenId::InitCloseDay, "frmInitCloseDay", u"締日設定", 0, nullptr, nullptr},
    {ScreenId::InitConfirm, "frmInitConfirm", u"初期設定確認", 0, nullptr, nullptr},
    {ScreenId::InitPassWord, "frmInitPassWord", u"パスワード表示", 0, nullptr, nullptr},
};

constexpr bool inIdOrder()
{
    for (size_t i = 0; i < std::size(kScreens); ++i)
        if (kScreens[i].id != ScreenId(i))
            return false;
    return std::size(kScreens) == size_t(ScreenId::InitPassWord) + 1;
}
static_assert(inIdOrder(), "one line per ScreenId, in its order");

} // namespace

const ScreenEntry &screenEntry(ScreenId id) { return kScreens[size_t(id)]; }

QString formName(ScreenId id) { return QString::fromLatin1(screenEntry(id).formName); }

QString screenTitle(ScreenId id)
{
    const char16_t *t = screenEntry(id).title;
    return t ? QString::fromUtf16(t) : QString();
}

std::optional<ScreenId> screenByName(const QString &name)
{
    for (const ScreenEntry &e : kScreens)
        if (name == QLatin1String(e.formName))
            return e.id;
    return std::nullopt;
}

std::optional<ScreenId> screenOf(const QWidget *widget)
{
    return widget ? screenByName(widget->objectName()) : std::nullopt;
}

const QList<ScreenEntry> &screenTable()
{
    static const QList<ScreenEntry> all(std::begin(kScreens), std::end(kScreens));
    return all;
}
