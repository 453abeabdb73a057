#include "HelpPages.h"

#include "common/Common.h"
#include "common/SjisText.h"
#include "store/ExFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Which installations a page is written for.
enum Kinds { ForUsb = 1, ForLan = 2, ForBoth = ForUsb | ForLan };

struct Topic {
    const char *file;
    int kinds;
    const char *title;
    const char *body; // HTML paragraphs
};

// Topic numbers are the context ids the screens ask for; index.html is the default topic.
// A USB and a LAN installation each get their own set (help/usb/, help/lan/): the pages that
// differ are the default page, the settings menu, data collection and the LAN settings.
const Topic kTopics[] = {
    {"index.html", ForUsb, "CORVAN21 ヘルプ（ＵＳＢ接続）",
     "<p>タイムレコーダとＵＳＢケーブルでつないで、タイムカードの収集、修正、集計、印刷、ファイル出力を行います。"
     "下の一覧から項目を選んでください。</p>"},
    {"index.html", ForLan, "CORVAN21 ヘルプ（ＬＡＮ接続）",
     "<p>"
     "ネットワーク（ＬＡＮ）につないだタイムレコーダから、タイムカードの収集、修正、集計、印刷、ファイル出力を行います"
     "。"
     "下の一覧から項目を選んでください。</p>"},
    {"10002.html", ForUsb, "設定メニュー",
     "<p>個人マスタ、勤務区分、カレンダー、締日・日替時刻、パスワードの設定画面を開きます。</p>"},
    {"10002.html", ForLan, "設定メニュー",
     "<p>個人マスタ、勤務区分、カレンダー、締日・日替時刻、パスワードの設定画面を開きます。"
     "「LAN設定」ではタイムレコーダのＩＰアドレスを設定します。</p>"},
    {"10003.html", ForBoth, "個人マスタ登録",
     "<p>"
     "社員番号、氏名、カード番号、勤務区分、対象を登録します。社員番号は1～999999、カード番号は1～999999999の数字です。"
     "同じカード番号を二人同時に対象にすることはできません。</p>"},
    {"10004.html", ForBoth, "勤務区分設定",
     "<p>就業時刻、遅刻早退、休憩、早出、残業、深夜の時間帯と丸めを区分ごとに設定します。時刻は00:00～47:"
     "59で入力します。</p>"},
    {"10005.html", ForBoth, "カレンダー設定", "<p>日ごとに平日、休日、法定外休日を設定します。</p>"},
    {"10006.html", ForBoth, "締日、日替時刻　設定",
     "<p>"
     "締日と日替時刻を変更します。当月度にタイムカードが読み込まれていると締日は変更できません。月度を変えてから変更し"
     "てください。</p>"},
    {"10007.html", ForBoth, "パスワード変更",
     "<p>ログインのパスワードを変更します。パスワードは半角の0-9、a-z、A-Zで4桁以上です。</p>"},
    {"10010.html", ForUsb, "データ収集（ＵＳＢ接続）",
     "<p>"
     "「データ収集開始」でＵＳＢケーブルでつないだタイムレコーダから打刻データを読み込み、「データ処理」で処理月のタイ"
     "ムカードに移します。</p>"
     "<p>"
     "収集できないときは、タイムレコーダの電源とＵＳＢケーブル、ＵＳＢドライバが正しくインストールされているかを確かめ"
     "てください。"
     "通信の記録は「ファイル」→「ログ参照」で見ることができます。</p>"},
    {"10010.html", ForLan, "データ収集（ＬＡＮ接続）",
     "<p>"
     "「データ収集開始」でネットワーク上のタイムレコーダから打刻データを読み込み、「データ処理」で処理月のタイムカード"
     "に移します。</p>"
     "<p>収集できないときは、タイムレコーダの電源とＬＡＮケーブル、「設定」→「ＬＡＮ "
     "設定」のＩＰアドレスを確かめてください。"
     "通信の記録は「ファイル」→「ログ参照」で見ることができます。</p>"},
    {"10011.html", ForBoth, "カード番号登録",
     "<p>登録されていないカードを社員に割り当て、カードの対象を切り替えます。「戻る」でデータ収集に戻ります。</p>"},
    {"10012.html", ForBoth, "個人修正",
     "<p>社員ごとに一か月のタイムカードを修正します。時刻は00:00～71:59で、入1・退1・入2・退2の順に入力します。"
     "「再計算」で保存して計算し直します。</p>"},
    {"10013.html", ForBoth, "一覧修正",
     "<p>日ごとに全社員のタイムカードを修正します。入力のしかたは個人修正と同じです。</p>"},
    {"10014.html", ForBoth, "ファイル出力", "<p>日報、個人別、集計、給与ソフト用のファイルを書き出します。</p>"},
    {"10015.html", ForBoth, "帳票印刷", "<p>個人別リスト、日報リストを印刷します。</p>"},
    {"10025.html", ForLan, "ＬＡＮ 設定", "<p>タイムレコーダのＩＰアドレスを設定します。</p>"},
};

// The support page the help menu's ＦＡＱサイトへ接続 opens unless veskourl.def names another.
const char kFaqTitle[] = "CORVAN21 よくある質問";
const char kFaqBody[] =
    "<h2>パスワードを忘れました</h2>"
    "<p>"
    "インストール時のパスワード（初期設定の最後に表示されたもの）でログインし、「設定」→「パスワード変更」で設定し直し"
    "てください。</p>"
    "<h2>データ収集ができません</h2>"
    "<p>ＬＡＮ接続ではタイムレコーダの電源、ＬＡＮケーブル、「ＬＡＮ 設定」のＩＰアドレスを確かめてください。"
    "ＵＳＢ接続ではＵＳＢケーブルとＵＳＢドライバを確かめてください。"
    "エラーの内容は「ファイル」→「ログ参照」→「エラーログ」で見ることができます。</p>"
    "<h2>締日を変更できません</h2>"
    "<p>"
    "タイムカードが読み込まれた月度では締日を変更できません。「処理月変更」でまだ収集していない月度に変えてから変更して"
    "ください。</p>"
    "<h2>データを元に戻したい</h2>"
    "<p>「ファイル」→「バックアップ」で保存した処理月のデータは、「ファイル」→「リストア」で戻すことができます。</p>"
    "<h2>このページについて</h2>"
    "<p>このページはプログラムフォルダの help/faq.html です。プログラムフォルダの veskourl.def の FAQ= の行に、"
    "御社のサポートページのアドレスを書くと、そちらが開きます。</p>";

QString page(const QString &title, const QString &body, const QString &footer)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"Shift_JIS\"><title>") + title
           + QStringLiteral("</title></head>\n<body><h1>") + title + QStringLiteral("</h1>\n") + body
           + QLatin1Char('\n') + footer + QStringLiteral("</body></html>\n");
}

// The default page links every topic of its set, so that each can be reached from it.
QString topicList(int kind)
{
    QString list = QStringLiteral("<ul>\n");
    for (const Topic &t : kTopics) {
        if (!(t.kinds & kind) || qstrcmp(t.file, "index.html") == 0)
            continue;
        list += QStringLiteral("<li><a href=\"") + QString::fromLatin1(t.file) + QStringLiteral("\">")
                + QString::fromUtf8(t.title) + QStringLiteral("</a></li>\n");
    }
    return list + QStringLiteral("<li><a href=\"../faq.html\">") + QString::fromUtf8(kFaqTitle)
           + QStringLiteral("</a></li>\n</ul>\n");
}

// Writes a page the installation lacks. An installed package shares its pages: the program
// folder gets only what neither it nor the shared folder has.
bool writeNew(const QString &path, const QByteArray &bytes, QStringList &created, QString *why)
{
    if (QFileInfo::exists(installedFile(QDir(programFolder()).relativeFilePath(path))))
        return true;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("cannot create ") + folder;
        return false;
    }
    const auto r = writeTextFileAtomic(path, bytes);
    if (!r.ok) {
        *why = r.message();
        return false;
    }
    created << path;
    return true;
}

QByteArray htmlBytes(const QString &html) { return SjisText::encode(html).replace("\n", "\r\n"); }

} // namespace

bool writeHelpPages(QStringList &created, QString *why)
{
    const QString dir = programPath(QStringLiteral("help"));
    for (const auto &[kind, folder] : {std::pair{int(ForUsb), "usb"}, std::pair{int(ForLan), "lan"}}) {
        const QString sub = dir + QLatin1Char('/') + QString::fromLatin1(folder);
        for (const Topic &t : kTopics) {
            if (!(t.kinds & kind))
                continue;
            const bool index = qstrcmp(t.file, "index.html") == 0;
            const QString html =
                page(QString::fromUtf8(t.title), QString::fromUtf8(t.body),
                     index ? topicList(kind) : QStringLiteral("<p><a href=\"index.html\">目次</a></p>"));
            if (!writeNew(sub + QLatin1Char('/') + QString::fromLatin1(t.file), htmlBytes(html), created, why))
                return false;
        }
    }
    const QString faq = page(QString::fromUtf8(kFaqTitle), QString::fromUtf8(kFaqBody), QString());
    return writeNew(dir + QStringLiteral("/faq.html"), htmlBytes(faq), created, why);
}

bool writeLinkDefinitions(QStringList &created, QString *why)
{
    const QString text =
        QStringLiteral("' CORVAN21 の接続先の設定\n"
                       "' FAQ= ヘルプメニューの「ＦＡＱサイトへ接続」で開くページ。\n"
                       "'      Web のアドレス（https://...）か、プログラムフォルダからのファイルの場所を書きます。\n"
                       "'      御社のサポートページがあれば、そのアドレスに書き換えてください。\n"
                       "FAQ=")
        + QString::fromLatin1(kDefaultFaqAddress) + QLatin1Char('\n');
    return writeNew(linkDefinitionFilePath(), SjisText::encode(text).replace("\n", "\r\n"), created, why);
}
