#include "HelpPages.h"

#include "Common.h"
#include "SjisText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct Topic {
    const char *file;
    const char *title;
    const char *body;
};

// Topic numbers are the context ids the screens ask for; index.html is the default topic.
const Topic kTopics[] = {
    {"index.html", "CORVAN21 ヘルプ", "タイムカードの収集、修正、集計、印刷、ファイル出力を行います。下の一覧から項目を選んでください。"},
    {"10002.html", "設定メニュー", "個人、勤務区分、カレンダー、締日などの設定画面を開きます。"},
    {"10003.html", "個人設定", "社員番号、氏名、カード番号、勤務区分、対象を登録します。"},
    {"10004.html", "勤務区分設定", "就業時刻、遅刻早退、休憩、早出、残業、深夜の時間帯と丸めを設定します。"},
    {"10005.html", "カレンダー設定", "日ごとに平日、休日、法定外休日を設定します。"},
    {"10006.html", "締日、日替時刻　設定", "締日と日替時刻を変更します。"},
    {"10007.html", "パスワード変更", "ログインのパスワードを変更します。"},
    {"10010.html", "データ収集", "タイムレコーダから打刻データを収集し、処理します。"},
    {"10011.html", "カード登録", "カード番号を社員に登録します。"},
    {"10012.html", "個人別修正", "社員ごとに一か月のタイムカードを修正します。"},
    {"10013.html", "一覧修正", "日ごとに全社員のタイムカードを修正します。"},
    {"10014.html", "ファイル出力", "日報、個人別、集計、給与ソフト用のファイルを書き出します。"},
    {"10015.html", "印刷", "個人別月報、日報、個人マスタ一覧、勤務区分一覧を印刷します。"},
    {"10025.html", "ＬＡＮ 設定", "タイムレコーダのＩＰアドレスを設定します。"},
};

// The default page links every topic, so that each can be reached from it.
QString topicList()
{
    QString list = QStringLiteral("<ul>\n");
    for (const Topic &t : kTopics) {
        if (qstrcmp(t.file, "index.html") == 0)
            continue;
        list += QStringLiteral("<li><a href=\"") + QString::fromLatin1(t.file) + QStringLiteral("\">")
                + QString::fromUtf8(t.title) + QStringLiteral("</a></li>\n");
    }
    return list + QStringLiteral("</ul>\n");
}

} // namespace

bool writeHelpPages(QStringList &created, QString *why)
{
    const QString dir = programPath(QStringLiteral("help"));
    if (!QDir().mkpath(dir)) {
        *why = QStringLiteral("cannot create ") + dir;
        return false;
    }
    for (const Topic &t : kTopics) {
        const QString path = dir + QLatin1Char('/') + QString::fromLatin1(t.file);
        if (QFileInfo::exists(path))
            continue;
        const QString title = QString::fromUtf8(t.title);
        const QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"Shift_JIS\"><title>")
                             + title + QStringLiteral("</title></head>\n<body><h1>") + title + QStringLiteral("</h1>\n<p>")
                             + QString::fromUtf8(t.body) + QStringLiteral("</p>\n")
                             + (qstrcmp(t.file, "index.html") == 0 ? topicList()
                                                                   : QStringLiteral("<p><a href=\"index.html\">目次</a></p>"))
                             + QStringLiteral("</body></html>\n");
        const auto r = writeTextFileAtomic(path, SjisText::encode(html).replace("\n", "\r\n"));
        if (!r.ok) {
            *why = r.message();
            return false;
        }
        created << path;
    }
    return true;
}
