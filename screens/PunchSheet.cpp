#include "PunchSheet.h"

#include "DigitInput.h"
#include "calc/TimeMath.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/ExFile.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kFieldWidth = 46;
constexpr int kFigureWidth = 50;
constexpr int kCellHeight = 19;

} // namespace

const std::array<Figure, 8> &PunchSheet::figureOrder()
{
    static const std::array<Figure, 8> order = {FigWork, FigLateEarly, FigEarly,        FigNight,
                                                FigOver, FigHoliday,   FigNonStatutory, FigTotal};
    return order;
}

const std::array<QString, 8> &PunchSheet::figureNames()
{
    static const std::array<QString, 8> names = {
        QStringLiteral("就業"), QStringLiteral("遅早"), QStringLiteral("早出"),   QStringLiteral("深夜"),
        QStringLiteral("残業"), QStringLiteral("休日"), QStringLiteral("法定外"), QStringLiteral("合計")};
    return names;
}

QString PunchSheet::slotName(int col)
{
    static const QString names[4] = {QStringLiteral("入1"), QStringLiteral("退1"), QStringLiteral("入2"),
                                     QStringLiteral("退2")};
    return names[col];
}

PunchSheet::PunchSheet(const QString &title, QWidget *parent) : QWidget(parent), m_title(title) {}

void PunchSheet::addRow(QWidget *sheet, int y, int fieldX, int figureX)
{
    const int r = int(m_rows.size());
    SheetRow row;
    for (int c = 0; c < 4; ++c) {
        auto *e = new QLineEdit(sheet);
        e->setObjectName(QStringLiteral("txt") + slotName(c) + QLatin1Char('_') + QString::number(r));
        e->setGeometry(fieldX + c * kFieldWidth, y, kFieldWidth - 2, kCellHeight);
        e->setMaxLength(5);
        e->setAlignment(Qt::AlignCenter);
        e->setContextMenuPolicy(Qt::NoContextMenu); // no paste around the key filter
        e->setAcceptDrops(false);
        // What still gets past the key filter (an input method's text, a middle-click paste)
        // must be digits too; full-width ones count as digits.
        DigitInput::install(e, QStringLiteral(" :"), 4);
        e->setText(emptyTimeText());
        e->installEventFilter(this);
        row.field[size_t(c)] = e;
    }
    for (int f = 0; f < 8; ++f) {
        auto *l = new QLabel(sheet);
        l->setObjectName(QStringLiteral("lbl") + figureNames()[size_t(f)] + QLatin1Char('_') + QString::number(r));
        l->setGeometry(figureX + f * kFigureWidth, y, kFigureWidth - 2, kCellHeight);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        row.figure[size_t(f)] = l;
    }
    m_rows.append(row);
    m_stored.append(PunchSlots{emptyTimeText(), emptyTimeText(), emptyTimeText(), emptyTimeText()});
    m_work.append(m_stored.last());
    m_dirty.append({false, false, false, false});
    m_shown.append(StoredDay());
}

void PunchSheet::setRed(QLineEdit *e, bool red)
{
    QPalette p = e->palette();
    p.setColor(QPalette::Text, red ? QColor(255, 0, 0) : QColor(0, 0, 0));
    e->setPalette(p);
}

void PunchSheet::showStoredRow(int row, const DayResult &result)
{
    SheetRow &w = m_rows[row];
    for (int c = 0; c < 4; ++c) {
        w.field[size_t(c)]->setText(m_stored[row][size_t(c)]);
        setRed(w.field[size_t(c)], false);
    }
    for (int f = 0; f < 8; ++f)
        w.figure[size_t(f)]->setText(Minutes_ToHhmm(result.figure[size_t(figureOrder()[size_t(f)])]));
    m_work[row] = m_stored[row];
    m_dirty[row].fill(false);
}

void PunchSheet::clearRow(int row, bool enabled)
{
    const PunchSlots empty{emptyTimeText(), emptyTimeText(), emptyTimeText(), emptyTimeText()};
    m_stored[row] = empty;
    m_work[row] = empty;
    m_dirty[row].fill(false);
    m_shown[row].clear();
    SheetRow &w = m_rows[row];
    for (QLineEdit *e : w.field) {
        e->setText(enabled ? emptyTimeText() : QString());
        setRed(e, false);
    }
    for (QLabel *l : w.figure)
        l->clear();
    setRowEnabled(row, enabled);
}

void PunchSheet::setRowEnabled(int row, bool enabled)
{
    for (QLineEdit *e : m_rows[row].field)
        e->setEnabled(enabled);
}

int PunchSheet::firstNavigableRow(int from) const
{
    for (int r = from; r < rowCount(); ++r)
        if (rowNavigable(r))
            return r;
    return -1;
}

bool PunchSheet::inFront() const
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        if (QMdiArea *area = sub->mdiArea())
            return area->activeSubWindow() == sub;
    return true;
}

void PunchSheet::focusField(int row, int col)
{
    if (row < 0 || row >= rowCount())
        return;
    revealRow(row);
    QLineEdit *e = m_rows[row].field[size_t(col)];
    m_lastRow = row;
    m_lastCol = col;
    // A screen behind another (read again after data processing) must not take the keyboard:
    // giving a field the focus would bring it forward over the screen the user works in. It
    // gets the field back when the user brings it forward.
    if (!inFront())
        return;
    e->setFocus(Qt::OtherFocusReason);
    e->selectAll();
}

bool PunchSheet::locate(QObject *o, int &row, int &col) const
{
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < 4; ++c)
            if (m_rows[r].field[size_t(c)] == o) {
                row = r;
                col = c;
                return true;
            }
    return false;
}

bool PunchSheet::checkField(int row, int col)
{
    QLineEdit *e = m_rows[row].field[size_t(col)];
    const QString typed = e->text();
    if (typed == m_work[row][size_t(col)]) {
        // Nothing was typed: there is nothing to accept or refuse. Checking it anyway would
        // trap the focus in a day whose stored punches are out of order.
        m_fieldError = false;
        return true;
    }
    auto refuse = [&](const QString &message, Dialogs::Icon icon) {
        Dialogs::inform(message, m_title, icon);
        e->setText(m_work[row][size_t(col)]);
        m_fieldError = true;
        m_lastRow = row;
        m_lastCol = col;
        // The focus stays: given back once the focus change that is under way has ended.
        QTimer::singleShot(0, e, [this, e, row] {
            revealRow(row);
            // After a message box the window may not have been made active again.
            if (e->isVisible() && !e->window()->isActiveWindow())
                e->window()->activateWindow();
            e->setFocus(Qt::OtherFocusReason);
            e->selectAll();
        });
        return false;
    };
    QString shown;
    if (!PunchField_Read(typed, shown))
        return refuse(punchRangeMessage(), Dialogs::Icon::Critical);
    PunchSlots row4;
    for (int c = 0; c < 4; ++c)
        row4[size_t(c)] = c == col ? shown : m_rows[row].field[size_t(c)]->text();
    if (!PunchSlots_InOrder(row4))
        return refuse(punchOrderMessage(), Dialogs::Icon::Exclamation);
    e->setText(shown);
    m_fieldError = false;
    if (shown != m_work[row][size_t(col)]) {
        m_work[row][size_t(col)] = shown;
        m_dirty[row][size_t(col)] = true;
        setRed(e, true);
        m_changed = true;
    }
    return true;
}

bool PunchSheet::holdsEdits() const
{
    if (m_changed || m_fieldError)
        return true;
    // Typed into the field being edited, not yet checked.
    return m_lastRow >= 0 && m_lastRow < rowCount()
           && m_rows[m_lastRow].field[size_t(m_lastCol)]->text() != m_work[m_lastRow][size_t(m_lastCol)];
}

bool PunchSheet::commitPending()
{
    if (m_lastRow < 0 || m_lastRow >= rowCount())
        return !m_fieldError;
    QLineEdit *e = m_rows[m_lastRow].field[size_t(m_lastCol)];
    if (e->text() != m_work[m_lastRow][size_t(m_lastCol)])
        return checkField(m_lastRow, m_lastCol);
    return !m_fieldError;
}

void PunchSheet::keyMove(int row, int col, int key, Qt::KeyboardModifiers mods)
{
    // The field is checked before the focus leaves it, so a refused text never travels on.
    if (!checkField(row, col))
        return;
    int r = row;
    int c = col;
    const bool back =
        key == Qt::Key_Left || key == Qt::Key_Backtab || (key == Qt::Key_Tab && (mods & Qt::ShiftModifier));
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        const int step = key == Qt::Key_Up ? -1 : 1;
        for (r = row + step; r >= 0 && r < rowCount(); r += step)
            if (rowNavigable(r))
                break;
        if (r < 0 || r >= rowCount())
            return;
    } else if (back) {
        if (--c < 0) {
            c = 3;
            for (r = row - 1; r >= 0; --r)
                if (rowNavigable(r))
                    break;
            if (r < 0)
                return;
        }
    } else {
        if (++c > 3) {
            c = 0;
            r = firstNavigableRow(row + 1);
            if (r < 0)
                return;
        }
    }
    focusField(r, c);
}

bool PunchSheet::eventFilter(QObject *watched, QEvent *event)
{
    int row = 0, col = 0;
    if (!locate(watched, row, col))
        return QWidget::eventFilter(watched, event);
    auto *e = static_cast<QLineEdit *>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
        m_lastRow = row;
        m_lastCol = col;
        QTimer::singleShot(0, e, [e] { e->selectAll(); });
        break;
    case QEvent::MouseButtonRelease:
        m_lastRow = row;
        m_lastCol = col;
        QTimer::singleShot(0, e, [e] { e->selectAll(); });
        break;
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Another window or a popup taking the focus does not leave the field; neither does
        // a screen that is being closed.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !e->isVisible())
            break;
        checkField(row, col);
        break;
    }
    case QEvent::KeyPress: {
        auto *k = static_cast<QKeyEvent *>(event);
        switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Right:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Down: keyMove(row, col, k->key(), k->modifiers()); return true;
        case Qt::Key_Home:
        case Qt::Key_End: return true;
        case Qt::Key_Backspace:
        case Qt::Key_Delete: return false;
        default: break;
        }
        const QString t = k->text();
        if (DigitInput::isDigitKey(t) && !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            // At most four digits: the text left outside the selection may hold three.
            if (e->text().size() - e->selectedText().size() <= 3)
                return false;
        }
        return true;
    }
    default: break;
    }
    return QWidget::eventFilter(watched, event);
}

PunchSheet::SaveOutcome PunchSheet::save(bool ask)
{
    if (!m_changed)
        return SaveOutcome::Nothing;
    if (ask && !Dialogs::askYesNo(punchSaveQuestion(), m_title))
        return SaveOutcome::Declined;
    QStringList merged;
    auto reportMerged = [&] {
        if (merged.isEmpty())
            return;
        Dialogs::inform(QStringLiteral("表示した後にタイムカードへ追加された打刻がありました。") + QLatin1Char('\n')
                            + QStringLiteral("修正した時刻はその打刻と合わせて保存しました。内容を確認して下さい。")
                            + QLatin1Char('\n') + merged.join(QLatin1Char('\n')),
                        m_title, Dialogs::Icon::Exclamation);
    };
    for (int r = 0; r < rowCount(); ++r) {
        if (!rowUsed(r))
            continue;
        const auto &d = m_dirty[r];
        if (d[0] || d[1] || d[2] || d[3]) {
            int unseen = 0;
            const int err = saveRow(r, unseen);
            if (!err && unseen > 0)
                merged << rowCaption(r);
            if (err) {
                reportMerged();
                return SaveOutcome::Failed;
            }
            m_dirty[r].fill(false);
            // From now on the day is what its stored rows say: the next computation and the
            // fields show it as every later reading (a reopened editor, an export, a report) will.
            m_work[r] = PunchSlots_AsStored(m_work[r], g_install.linkKind);
        }
        m_stored[r] = m_work[r];
    }
    m_changed = false;
    if (!merged.isEmpty()) {
        reportMerged();
        // The screen shows the days as they are stored now, the kept punches included.
        reloadStored();
    }
    return SaveOutcome::Saved;
}

void PunchSheet::dropEdits()
{
    for (int r = 0; r < rowCount(); ++r) {
        if (!rowUsed(r))
            continue;
        for (int c = 0; c < 4; ++c) {
            QLineEdit *e = m_rows[r].field[size_t(c)];
            e->setText(m_stored[r][size_t(c)]);
            setRed(e, false);
        }
        m_work[r] = m_stored[r];
        m_dirty[r].fill(false);
    }
    m_changed = false;
}

int PunchSheet::checkLeave(int checkType)
{
    if (checkType == 0) {
        // Leaving the field checks it, as a click elsewhere would.
        m_reCalc->setFocus(Qt::OtherFocusReason);
        QApplication::processEvents();
    }
    if (!commitPending())
        return -1;
    if (m_fieldError)
        return -1;
    switch (save(true)) {
    case SaveOutcome::Failed: return -1; // the edits are still on screen; leaving would lose them
    case SaveOutcome::Declined: dropEdits(); break;
    case SaveOutcome::Nothing:
    case SaveOutcome::Saved: break;
    }
    m_changed = false;
    return 0;
}

void PunchSheet::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->move(0, 0);
    }
    // Back to the field last used.
    if (m_lastRow >= 0 && m_lastRow < rowCount() && rowNavigable(m_lastRow))
        QTimer::singleShot(0, this, [this] {
            if (m_lastRow >= 0 && m_lastRow < rowCount() && rowNavigable(m_lastRow))
                focusField(m_lastRow, m_lastCol);
        });
}
