#include "frmKubunSet.h"

#include "DigitInput.h"
#include "KubunRules.h"
#include "PrintQuestions.h"
#include "ProgramInputs.h"
#include "ScreenTable.h"
#include "WidgetDialogs.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "common/Dialogs.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kTitle = QStringLiteral("勤務区分 設定");

// The fields in the order the keys move through them: the base hours sit between the end of
// regular work and the late/early window, as on the screen.
const int kOrder[] = {0, 1, 16, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr int kOrderCount = 17;

int positionOf(int field)
{
    for (int p = 0; p < kOrderCount; ++p)
        if (kOrder[p] == field)
            return p;
    return 0;
}

QStringList unitItems()
{
    return {QStringLiteral("01分"), QStringLiteral("05分"), QStringLiteral("06分"), QStringLiteral("10分"),
            QStringLiteral("15分"), QStringLiteral("20分"), QStringLiteral("30分"), QStringLiteral("60分")};
}

// Shows the stored text in a list: the item with the same leading characters.
void selectByPrefix(QComboBox *combo, const QString &text, int prefix)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).left(prefix) == text.left(prefix)) {
            combo->setCurrentIndex(i);
            return;
        }
    }
    combo->setCurrentIndex(-1);
}

} // namespace

frmKubunSet::frmKubunSet(QWidget *parent) : QWidget(parent)
{
    setObjectName(formName(ScreenId::KubunSet));
    setWindowTitle(screenTitle(ScreenId::KubunSet));

    m_kubun = new QComboBox(this);
    m_kubun->setObjectName(QStringLiteral("cbo区分"));
    for (int n = 1; n <= 10; ++n)
        m_kubun->addItem(zeroPad(n, 2));
    m_kubun->installEventFilter(this);

    m_frame = new QGroupBox(this);
    m_frame->setObjectName(QStringLiteral("frameKubun"));
    for (int i = 0; i < KubunRules::kFieldCount; ++i) {
        auto *t = new QLineEdit(m_frame);
        t->setObjectName(QStringLiteral("txtTime_%1").arg(i));
        t->setMaxLength(5);
        t->setFixedWidth(64);
        t->setAlignment(Qt::AlignCenter);
        t->installEventFilter(this);
        ImeSwitch(t, false);
        // Pasted or input-method text obeys the digit rule as typed text does.
        DigitInput::install(t, QStringLiteral(" :"), 4);
        m_times.append(t);
    }
    auto *g = new QGridLayout(m_frame);
    auto wave = [this] { return new QLabel(QStringLiteral("～"), m_frame); };
    const QStringList labels = {
        QStringLiteral("就業時間"),   QStringLiteral("残業基準時数"), QStringLiteral("遅刻・早退"),
        QStringLiteral("休憩時間１"), QStringLiteral("休憩時間２"),   QStringLiteral("休憩時間３"),
        QStringLiteral("早出"),       QStringLiteral("残業"),         QStringLiteral("深夜")};
    for (int row = 0; row < labels.size(); ++row) {
        g->addWidget(new QLabel(labels.at(row), m_frame), row, 0);
        if (row == 1) {
            g->addWidget(m_times.at(KubunRules::kBaseField), row, 1);
            continue;
        }
        const int first = row == 0 ? 0 : 2 * (row - 1);
        g->addWidget(m_times.at(first), row, 1);
        g->addWidget(wave(), row, 2);
        g->addWidget(m_times.at(first + 1), row, 3);
    }
    g->setColumnStretch(4, 1);

    auto combo = [this](const char16_t *name, const QStringList &items) {
        auto *c = new QComboBox(this);
        c->setObjectName(QString::fromUtf16(name));
        c->addItems(items);
        c->installEventFilter(this);
        connect(c, &QComboBox::activated, this, [this, c] { onComboChanged(c); });
        return c;
    };
    m_method = combo(u"cbo丸め", {QStringLiteral("0：時刻丸め"), QStringLiteral("1：時数丸め")});
    m_unitWork = combo(u"cbo就業丸め", unitItems());
    m_unitLate = combo(u"cbo遅早丸め", unitItems());
    m_unitOver = combo(u"cbo残業丸め", unitItems());
    m_dayChange = new QLabel(g_company.dayChange, this);
    m_dayChange->setObjectName(QStringLiteral("lbl日替"));
    m_dayChange->setFrameShape(QFrame::Panel);
    m_dayChange->setFrameShadow(QFrame::Sunken);

    auto *right = new QGridLayout;
    int r = 0;
    for (auto [label, w] : {std::pair<const char16_t *, QWidget *>{u"丸め方法", m_method},
                            {u"就業丸め単位", m_unitWork},
                            {u"遅早丸め単位", m_unitLate},
                            {u"残業丸め単位", m_unitOver},
                            {u"日替時刻", m_dayChange}}) {
        right->addWidget(new QLabel(QString::fromUtf16(label), this), r, 0);
        right->addWidget(w, r, 1);
        ++r;
    }
    right->setRowStretch(r, 1);

    m_set = new QPushButton(QStringLiteral("登録"), this);
    m_set->setObjectName(QStringLiteral("cmdSet"));
    m_print = new QPushButton(QStringLiteral("印刷"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_pdf = new QPushButton(QStringLiteral("PDF出力"), this);
    m_pdf->setObjectName(QStringLiteral("cmdPdf"));
    for (auto *b : {m_set, m_print, m_pdf})
        b->setFixedSize(96, 32);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("区分"), this));
    top->addWidget(m_kubun);
    top->addStretch();
    auto *middle = new QHBoxLayout;
    middle->addWidget(m_frame);
    middle->addSpacing(12);
    middle->addLayout(right);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(m_set);
    bottom->addWidget(m_print);
    bottom->addWidget(m_pdf);
    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addLayout(middle);
    v->addLayout(bottom);

    connect(m_kubun, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_suppress)
            onCategoryChosen();
    });
    connect(m_set, &QPushButton::clicked, this, [this] {
        if (fieldCheck(m_focused) && categoryCheck())
            save(false);
    });
    connect(m_print, &QPushButton::clicked, this, &frmKubunSet::cmdPrint_Click);
    connect(m_pdf, &QPushButton::clicked, this, &frmKubunSet::cmdPdf_Click);

    Kubun_Read();
    m_suppress = true;
    m_kubun->setCurrentIndex(0);
    m_suppress = false;
    showCategory(1);
}

void frmKubunSet::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->move(0, 0);
    }
}

void frmKubunSet::setRed(QWidget *w, bool red)
{
    QPalette pal = w->palette();
    const QColor c = red ? QColor(Qt::red) : QColor(Qt::black);
    pal.setColor(QPalette::Text, c);
    pal.setColor(QPalette::ButtonText, c);
    w->setPalette(pal);
}

void frmKubunSet::showCategory(int n)
{
    m_current = n;
    m_work = g_kubun[size_t(n)];
    m_work.code = zeroPad(n, 2);
    m_frame->setTitle(QStringLiteral("区分 ") + m_work.code);
    for (int i = 0; i < CategoryTimeCount; ++i)
        m_times.at(i)->setText(m_work.times[size_t(i)]);
    m_times.at(KubunRules::kBaseField)->setText(m_work.base);
    selectByPrefix(m_method, m_work.method, 1);
    selectByPrefix(m_unitWork, m_work.unitWork, 2);
    selectByPrefix(m_unitLate, m_work.unitLate, 2);
    selectByPrefix(m_unitOver, m_work.unitOver, 2);
    for (QWidget *w : m_times)
        setRed(w, false);
    for (QWidget *w : {m_method, m_unitWork, m_unitLate, m_unitOver})
        setRed(w, false);
    m_changed = false;
    m_fieldError = false;
}

// ---- time fields ---------------------------------------------------------------------------

bool frmKubunSet::fieldCheck(int index)
{
    if (index < 0 || index >= KubunRules::kFieldCount || m_checking)
        return !m_fieldError;
    QLineEdit *t = m_times.at(index);
    QString &held = index == KubunRules::kBaseField ? m_work.base : m_work.times[size_t(index)];
    const KubunRules::FieldResult r = KubunRules::fieldCheck(t->text());
    t->setText(r.text);
    if (!r.accepted) {
        m_checking = true;
        Dialogs::inform(QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 47:59）"), kTitle,
                        Dialogs::Icon::Critical);
        m_checking = false;
        t->setText(held);
        m_fieldError = true;
        // The focus stays in the field once the message is gone.
        QTimer::singleShot(0, this, [this, index] { focusField(index); });
        return false;
    }
    m_fieldError = false;
    if (r.text != held) {
        held = r.text;
        setRed(t, true);
        m_changed = true;
    }
    return true;
}

void frmKubunSet::focusField(int index)
{
    QLineEdit *t = m_times.at(index);
    // After a message box the window may not have been made active again.
    if (isVisible() && !t->window()->isActiveWindow())
        t->window()->activateWindow();
    t->setFocus();
    t->selectAll();
    m_focused = index;
}

void frmKubunSet::moveFrom(int index, int key)
{
    if (!fieldCheck(index))
        return;
    const int p = positionOf(index);
    int target = index;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Right:
        if (p == kOrderCount - 1) {
            m_method->setFocus();
            m_focused = -1;
            return;
        }
        target = kOrder[p + 1];
        break;
    case Qt::Key_Left:
        if (p > 0)
            target = kOrder[p - 1];
        break;
    case Qt::Key_Up:
        if (index == 2)
            target = KubunRules::kBaseField;
        else if (p >= 2)
            target = kOrder[p - 2];
        break;
    case Qt::Key_Down:
        if (index == KubunRules::kBaseField)
            target = 2;
        else if (p + 2 < kOrderCount)
            target = kOrder[p + 2];
        break;
    default: break;
    }
    focusField(target);
}

bool frmKubunSet::comboKey(QComboBox *combo, int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (combo == m_kubun)
            focusField(0);
        else if (combo == m_method)
            m_unitWork->setFocus();
        else if (combo == m_unitWork)
            m_unitLate->setFocus();
        else if (combo == m_unitLate)
            m_unitOver->setFocus();
        else
            m_set->setFocus();
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Values change with the mouse only.
        return true;
    default: break;
    }
    return false;
}

bool frmKubunSet::eventFilter(QObject *watched, QEvent *event)
{
    if (auto *combo = qobject_cast<QComboBox *>(watched)) {
        if (event->type() == QEvent::KeyPress)
            return comboKey(combo, static_cast<QKeyEvent *>(event)->key());
        if (event->type() == QEvent::Wheel)
            return true;
        return QWidget::eventFilter(watched, event);
    }
    auto *t = qobject_cast<QLineEdit *>(watched);
    const int index = t ? int(m_times.indexOf(t)) : -1;
    if (index < 0)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        m_focused = index;
        QTimer::singleShot(0, t, [t] { t->selectAll(); });
        break;
    case QEvent::MouseButtonRelease: t->selectAll(); return true;
    case QEvent::FocusOut:
        if (!m_checking && m_focused == index) {
            fieldCheck(index);
            if (!m_fieldError)
                m_focused = -1;
        }
        break;
    case QEvent::KeyPress: {
        auto *ke = static_cast<QKeyEvent *>(event);
        const int key = ke->key();
        switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Right:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Down: moveFrom(index, key); return true;
        case Qt::Key_Home:
        case Qt::Key_End: return true;
        case Qt::Key_Backspace: return false;
        default: break;
        }
        const QString text = ke->text();
        if (DigitInput::isDigitKey(text)) {
            // At most four digits: the rest of the text outside the selection has at most three.
            const int rest = int(t->text().size() - t->selectedText().size());
            return rest > 3;
        }
        // Anything else that would type a character is refused.
        return !text.isEmpty();
    }
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- combo boxes and the category selector -------------------------------------------------

void frmKubunSet::onComboChanged(QComboBox *combo)
{
    QString *held = combo == m_method     ? &m_work.method
                    : combo == m_unitWork ? &m_work.unitWork
                    : combo == m_unitLate ? &m_work.unitLate
                                          : &m_work.unitOver;
    const QString text = combo->currentText();
    if (*held != text) {
        *held = text;
        setRed(combo, true);
        m_changed = true;
    }
}

void frmKubunSet::onCategoryChosen()
{
    const int chosen = m_kubun->currentIndex() + 1;
    // The field being edited is checked first, also when the selector changed without
    // taking the focus from it.
    if (!fieldCheck(m_focused) || !categoryCheck()) {
        m_suppress = true;
        m_kubun->setCurrentIndex(m_current - 1);
        m_suppress = false;
        return;
    }
    if (chosen == m_current)
        return;
    save(true);
    showCategory(chosen);
}

// ---- checks and saving ---------------------------------------------------------------------

bool frmKubunSet::categoryCheck()
{
    std::array<QString, 16> times;
    for (int i = 0; i < 16; ++i)
        times[size_t(i)] = m_work.times[size_t(i)];
    const KubunRules::CategoryFailure f = KubunRules::categoryCheck(times);
    if (!f.failed)
        return true;
    Dialogs::inform(f.message, kTitle, Dialogs::Icon::Critical);
    focusField(f.focusField);
    return false;
}

bool frmKubunSet::save(bool ask)
{
    if (!m_changed)
        return true;
    if (ask && !Dialogs::askYesNo(QStringLiteral("変更した勤務区分を保存します。よろしいですか？"), kTitle))
        return false;
    Category c = m_work;
    c.code = zeroPad(m_current, 2);
    for (auto &t : c.times)
        t = Hhmm_Normalize(t);
    c.base = Hhmm_Normalize(c.base);
    c.computeMinutes();
    const Category stored = g_kubun[size_t(m_current)];
    g_kubun[size_t(m_current)] = c;
    if (Kubun_Write(m_current) != 0) {
        // The message is shown and neither database changed. The edits stay on screen, still
        // unsaved, but the category table goes back to what is stored, so that nothing
        // computes with values that were never saved.
        g_kubun[size_t(m_current)] = stored;
        return false;
    }
    Kubun_Read();
    m_work = g_kubun[size_t(m_current)];
    m_work.code = c.code;
    for (QWidget *w : m_times)
        setRed(w, false);
    for (QWidget *w : {m_method, m_unitWork, m_unitLate, m_unitOver})
        setRed(w, false);
    m_changed = false;
    // Screens that computed with the old category compute afresh when opened again.
    closeScreens({ScreenId::KojinEdit, ScreenId::ListEdit, ScreenId::FileOut, ScreenId::ListPrint});
    return true;
}

int frmKubunSet::KubunSet_check(int kind)
{
    if (kind == 0) {
        const int focused = m_focused;
        m_print->setFocus();
        QCoreApplication::processEvents();
        // Off-screen or while the window is inactive the focus change may not reach the
        // field, so its check is run here as well (it is harmless twice).
        if (focused >= 0 && !m_fieldError)
            fieldCheck(focused);
    }
    if (m_fieldError)
        return -1;
    if (!categoryCheck())
        return -1;
    if (!save(true))
        showCategory(m_current);
    m_changed = false;
    return 0;
}

void frmKubunSet::cmdPrint_Click() { printBy(PrintRoute::Printer); }

void frmKubunSet::cmdPdf_Click() { printBy(PrintRoute::Pdf); }

void frmKubunSet::printBy(PrintRoute route)
{
    if (!fieldCheck(m_focused) || !categoryCheck())
        return;
    if (!save(false))
        return;
    PrintOut_CategoryList(programInputs(), route);
}
