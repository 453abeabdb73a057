#include "EmployeeGrid.h"

#include "DigitInput.h"
#include "EmployeeRules.h"
#include "PrintQuestions.h"
#include "ProgramInputs.h"
#include "ScreenTable.h"
#include "WidgetDialogs.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/DbFile.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int kRows = kEmployeesStored;
constexpr int kColNo = 0, kColNumber = 1, kColName = 2, kColCard = 3, kColCategory = 4, kColActive = 5;

QString line() { return QStringLiteral("\n"); }

} // namespace

// The grid: hands keys to the screen first and lets it end an open edit on demand.
class EmployeeTable : public QTableWidget
{
public:
    EmployeeTable(EmployeeGrid *owner, int rows, int cols) : QTableWidget(rows, cols, owner), m_owner(owner) {}

    QWidget *openEditor() const
    {
        if (state() != QAbstractItemView::EditingState)
            return nullptr;
        return indexWidget(currentIndex());
    }
    // Commits the open editor (which runs the cell's validation) and closes it.
    void commitOpen()
    {
        if (QWidget *e = openEditor()) {
            commitData(e);
            if (openEditor() == e)
                closeEditor(e, QAbstractItemDelegate::NoHint);
        }
    }
    void dropOpen()
    {
        if (QWidget *e = openEditor())
            closeEditor(e, QAbstractItemDelegate::RevertModelCache);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (m_owner->gridKey(event->key(), event->text(), false, currentColumn()))
            return;
        QTableWidget::keyPressEvent(event);
    }
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override
    {
        // A key that starts an edit in a number column must be a digit.
        if (trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress
            && m_owner->isDigitColumn(index.column())) {
            const QString t = static_cast<QKeyEvent *>(event)->text();
            for (QChar c : t)
                if (DigitInput::asDigit(c).isNull())
                    return false;
        }
        return QTableWidget::edit(index, trigger, event);
    }

private:
    EmployeeGrid *m_owner;
};

namespace {

// Line editors for the text columns, a drop-down list for 区分; committing hands the text to
// the screen's validation instead of writing the model.
class EmployeeDelegate : public QStyledItemDelegate
{
public:
    EmployeeDelegate(EmployeeGrid *owner) : QStyledItemDelegate(owner), m_owner(owner) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        QWidget *editor = nullptr;
        if (index.column() == kColCategory) {
            auto *combo = new QComboBox(parent);
            combo->addItems(EmployeeRules::categoryList().split(QLatin1Char('|')));
            connect(combo, &QComboBox::activated, this,
                    [this, combo] { emit const_cast<EmployeeDelegate *>(this)->commitData(combo); });
            editor = combo;
        } else {
            auto *edit = new QLineEdit(parent);
            edit->setFrame(false);
            // Pasted or input-method text obeys the digit rule of the number columns too.
            if (m_owner->isDigitColumn(index.column()))
                DigitInput::install(edit);
            editor = edit;
        }
        editor->setProperty("gridColumn", index.column());
        // Names are typed with the input method; numbers never are.
        ImeSwitch(editor, index.column() == kColName);
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        // Installed here, after the view has installed the delegate's own filter, so that the
        // screen sees Enter and Escape first.
        editor->installEventFilter(m_owner);
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            for (int i = 0; i < combo->count(); ++i)
                if (EmployeeRules::categoryCode(combo->itemText(i)) == text)
                    combo->setCurrentIndex(i);
        } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
            edit->setText(text);
            edit->selectAll();
        }
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const override
    {
        QString text;
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            text = EmployeeRules::categoryCode(combo->currentText());
        else if (auto *edit = qobject_cast<QLineEdit *>(editor))
            text = edit->text();
        m_owner->commitCell(index.row(), index.column(), text);
    }

private:
    EmployeeGrid *m_owner;
};

} // namespace

EmployeeGrid::EmployeeGrid(Mode mode, QWidget *parent)
    : QWidget(parent)
    , m_mode(mode)
    , m_title(screenTitle(mode == Mode::Master ? ScreenId::MasSet : ScreenId::CardSet))
    , m_rows(kRows)
{
    m_grid = new EmployeeTable(this, kRows, 6);
    m_grid->setObjectName(QStringLiteral("VSFlexGrid1"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("No."), QStringLiteral("社員番号"), QStringLiteral("氏名"),
                                       QStringLiteral("カード番号"), QStringLiteral("区分"), QStringLiteral("対象")});
    m_grid->verticalHeader()->hide();
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    m_grid->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked
                            | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_grid->setItemDelegate(new EmployeeDelegate(this));
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->horizontalHeader()->setHighlightSections(false);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Column widths in twips of the classic grid, at 15 twips per pixel.
    const int widths[] = {495, 975, 1815, 1245, 900, 600};
    int total = 0;
    for (int c = 0; c < 6; ++c) {
        m_grid->setColumnWidth(c, widths[c] / 15);
        total += widths[c] / 15;
    }
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setFixedWidth(total + m_grid->verticalScrollBar()->sizeHint().width() + 2 * m_grid->frameWidth() + 2);
    m_grid->setMinimumHeight(480);
    ImeSwitch(m_grid, false);

    m_set = new QPushButton(QStringLiteral("登録"), this);
    m_set->setObjectName(QStringLiteral("cmdSet"));
    m_print = new QPushButton(QStringLiteral("印刷"), this);
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_pdf = new QPushButton(QStringLiteral("PDF出力"), this);
    m_pdf->setObjectName(QStringLiteral("cmdPdf"));
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_set);
    if (master()) {
        m_delete = new QPushButton(QStringLiteral("削除"), this);
        m_delete->setObjectName(QStringLiteral("cmdDelete"));
        m_delete->setEnabled(false);
        buttons->addWidget(m_delete);
        connect(m_delete, &QPushButton::clicked, this, &EmployeeGrid::cmdDelete_Click);
    }
    buttons->addWidget(m_print);
    buttons->addWidget(m_pdf);
    if (!master()) {
        m_cancel = new QPushButton(QStringLiteral("戻る"), this);
        m_cancel->setObjectName(QStringLiteral("cmdCancel"));
        buttons->addWidget(m_cancel);
        connect(m_cancel, &QPushButton::clicked, this, &EmployeeGrid::cmdCancel_Click);
    }
    buttons->addStretch();
    for (int i = 0; i < buttons->count(); ++i)
        if (auto *b = qobject_cast<QPushButton *>(buttons->itemAt(i)->widget()))
            b->setFixedSize(96, 32);

    auto *h = new QHBoxLayout(this);
    h->addWidget(m_grid);
    h->addLayout(buttons);

    connect(m_set, &QPushButton::clicked, this, &EmployeeGrid::cmdSet_Click);
    connect(m_print, &QPushButton::clicked, this, &EmployeeGrid::cmdPrint_Click);
    connect(m_pdf, &QPushButton::clicked, this, &EmployeeGrid::cmdPdf_Click);
    connect(m_grid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!m_updating && item->column() == kColActive)
            onActiveToggled(item->row());
    });
    connect(m_grid, &QTableWidget::cellClicked, this, &EmployeeGrid::onCellClicked);
    connect(m_grid, &QTableWidget::currentCellChanged, this,
            [this](int row, int col, int, int) { onCurrentCellChanged(row, col); });
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, &EmployeeGrid::onHeaderClicked);
}

EmployeeGrid::~EmployeeGrid()
{
    // An editor still open would commit on losing the focus while the screen is half gone.
    m_validating = true;
    m_grid->dropOpen();
    delete m_grid;
}

void EmployeeGrid::load()
{
    startRoutine();
    FormIniFlag = false;
}

void EmployeeGrid::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->move(0, 0);
    }
    m_grid->setCurrentCell(0, kColNumber);
}

// ---- the working copy and its display ------------------------------------------------------

void EmployeeGrid::startRoutine()
{
    m_grid->dropOpen();
    Kojin_Read(false);
    for (int i = 0; i < kRows; ++i) {
        const Employee &e = g_kojin[size_t(i)];
        Row r;
        r.number = e.number;
        r.name = e.name;
        r.card = e.card;
        r.category = e.category;
        // Only a row with both numbers can be active.
        const bool both = !trimBlanks(e.number).isEmpty() && !trimBlanks(e.card).isEmpty();
        r.active = both ? e.active : QStringLiteral("0");
        m_rows[i] = r;
    }
    m_marks = 0;
    if (m_delete)
        m_delete->setEnabled(false);
    m_changed = false;
    m_cellFailed = false;
    m_reenterPending = false;
    redraw();
}

QTableWidgetItem *EmployeeGrid::cell(int row, int col) const { return m_grid->item(row, col); }

bool EmployeeGrid::editable(int row, int col) const
{
    const Row &r = m_rows.at(row);
    const bool hasNumber = !r.number.isEmpty();
    switch (col) {
    case kColNumber: return master();
    case kColName:
    case kColCategory: return master() && hasNumber;
    case kColCard: return hasNumber;
    default: break;
    }
    return false;
}

bool EmployeeGrid::editsAtOnce(int row, int col) const
{
    if (m_rows.at(row).number.isEmpty())
        return false;
    return master() ? (col >= kColNumber && col <= kColCategory) : col == kColCard;
}

void EmployeeGrid::redraw()
{
    for (int r = 0; r < kRows; ++r)
        drawRow(r);
}

void EmployeeGrid::drawRow(int row)
{
    const bool was = m_updating;
    m_updating = true;
    const Row &r = m_rows.at(row);
    const QString texts[] = {QString::number(row + 1), r.number, r.name, r.card, r.category, QString()};
    for (int c = 0; c < 6; ++c) {
        QTableWidgetItem *it = cell(row, c);
        if (!it) {
            it = new QTableWidgetItem;
            m_grid->setItem(row, c, it);
        }
        it->setText(texts[c]);
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (editable(row, c))
            f |= Qt::ItemIsEditable;
        if (c == kColNo) {
            it->setTextAlignment(Qt::AlignCenter);
            it->setForeground(Qt::white);
            it->setBackground(r.mark ? QColor(Qt::red) : QColor(Qt::blue));
        } else if (c == kColActive) {
            if (!r.number.isEmpty() && !r.card.isEmpty())
                f |= Qt::ItemIsUserCheckable;
            it->setCheckState(r.active == QLatin1String("1") ? Qt::Checked : Qt::Unchecked);
        } else if (c == kColCategory) {
            it->setTextAlignment(Qt::AlignCenter);
        }
        it->setFlags(f);
    }
    m_updating = was;
}

void EmployeeGrid::setCellText(int row, int col, const QString &text)
{
    const bool was = m_updating;
    m_updating = true;
    cell(row, col)->setText(text);
    m_updating = was;
}

bool EmployeeGrid::holdsEdits() const
{
    if (m_changed || m_cellFailed || m_reenterPending || m_grid->openEditor())
        return true;
    for (int r = 0; r < kRows; ++r) {
        const QString a = cell(r, kColActive)->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
        if (m_rows[r].active != a)
            return true;
    }
    return false;
}

void EmployeeGrid::syncChecks()
{
    for (int r = 0; r < kRows; ++r) {
        const QString a = cell(r, kColActive)->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
        if (m_rows[r].active != a) {
            m_rows[r].active = a;
            m_changed = true;
        }
    }
}

// ---- cell validation -----------------------------------------------------------------------

bool EmployeeGrid::commitCell(int row, int col, const QString &text)
{
    if (m_validating) // the message box of a running validation took the focus
        return false;
    return validateCell(row, col, text);
}

void EmployeeGrid::refuse(int row, int col, const QString &message, const QString &cellText)
{
    Dialogs::inform(message, m_title, Dialogs::Icon::Exclamation);
    setCellText(row, col, cellText);
    m_cellFailed = true;
    m_reenterPending = true;
    // The focus stays on the refused cell: it is entered again once the grid has finished
    // closing the editor (and any move the user started).
    QTimer::singleShot(0, this, [this, row, col] {
        m_reenterPending = false;
        editCell(row, col);
    });
}

bool EmployeeGrid::validateCell(int row, int col, const QString &raw)
{
    m_validating = true;
    const QString text = EmployeeRules::cleanCell(raw);
    bool ok = true;
    switch (col) {
    case kColNumber: ok = validateNumber(row, text); break;
    case kColName:
        setCellText(row, col, text);
        if (m_rows[row].name != text) {
            m_rows[row].name = text;
            m_changed = true;
        }
        break;
    case kColCard: ok = validateCard(row, text); break;
    case kColCategory:
        setCellText(row, col, text);
        if (m_rows[row].category != text) {
            m_rows[row].category = text;
            m_changed = true;
        }
        break;
    default: break;
    }
    if (ok)
        m_cellFailed = false;
    m_validating = false;
    return ok;
}

bool EmployeeGrid::validateNumber(int row, const QString &text)
{
    Row &r = m_rows[row];
    if (text.isEmpty()) {
        if (r.number.isEmpty()) {
            setCellText(row, kColNumber, QString());
            return true;
        }
        const bool yes = Dialogs::askYesNo(QStringLiteral("この社員を削除しますが、よろしいですか？ ") + line()
                                               + QStringLiteral("削除する社員：") + r.number,
                                           m_title);
        if (!yes) {
            setCellText(row, kColNumber, r.number);
            return true;
        }
        removeRow(row);
        if (m_delete)
            m_delete->setEnabled(m_marks > 0);
        m_changed = true;
        return true;
    }
    const QString number = EmployeeRules::paddedNumber(text, EmployeeRules::kEmployeeDigits);
    if (number.isEmpty()) {
        refuse(row, kColNumber,
               QStringLiteral("社員番号を正しく入力してください。 ") + line()
                   + QStringLiteral("社員番号は、1～999999 迄の数字です。"),
               text);
        return false;
    }
    for (int i = 0; i < kRows; ++i) {
        if (i != row && m_rows.at(i).number == number) {
            refuse(row, kColNumber, QStringLiteral("同じ社員番号があります。 社員番号=") + number, number);
            return false;
        }
    }
    setCellText(row, kColNumber, number);
    if (r.number != number) {
        const bool wasEmpty = r.number.isEmpty();
        r.number = number;
        m_changed = true;
        if (wasEmpty)
            drawRow(row); // the other cells of the row become editable
    }
    return true;
}

bool EmployeeGrid::sameActiveCard(int row, const QString &card) const
{
    for (int i = 0; i < kRows; ++i)
        if (i != row && !m_rows.at(i).card.isEmpty() && m_rows.at(i).card == card
            && cell(i, kColActive)->checkState() == Qt::Checked)
            return true;
    return false;
}

bool EmployeeGrid::validateCard(int row, const QString &text)
{
    Row &r = m_rows[row];
    if (text.isEmpty()) {
        setCellText(row, kColCard, QString());
        if (!r.card.isEmpty()) {
            r.card.clear();
            r.active = QStringLiteral("0");
            m_changed = true;
            drawRow(row); // unticks the box and takes it out of use
        }
        return true;
    }
    const QString card = EmployeeRules::paddedNumber(text, EmployeeRules::kCardDigits);
    if (card.isEmpty()) {
        refuse(row, kColCard,
               QStringLiteral("カード番号を正しく入力してください。 ") + line()
                   + QStringLiteral("カード番号は、000000001～999999999 迄の数字です。"),
               text);
        return false;
    }
    if (cell(row, kColActive)->checkState() == Qt::Checked && sameActiveCard(row, card)) {
        refuse(row, kColCard, QStringLiteral("同じカード番号があります。 カード番号=") + card, card);
        return false;
    }
    setCellText(row, kColCard, card);
    if (r.card != card) {
        const bool wasEmpty = r.card.isEmpty();
        r.card = card;
        m_changed = true;
        if (wasEmpty)
            drawRow(row); // the active box comes into use
    }
    return true;
}

void EmployeeGrid::onActiveToggled(int row)
{
    Row &r = m_rows[row];
    QTableWidgetItem *box = cell(row, kColActive);
    if (box->checkState() == Qt::Checked && !r.card.isEmpty() && sameActiveCard(row, r.card)) {
        Dialogs::inform(QStringLiteral("同じカード番号を同時に対象には出来ません。 カード番号=") + r.card, m_title,
                        Dialogs::Icon::Exclamation);
        const bool was = m_updating;
        m_updating = true;
        box->setCheckState(Qt::Unchecked);
        m_updating = was;
        m_grid->setCurrentCell(row, kColActive);
    }
    const QString a = box->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0");
    if (r.active != a) {
        r.active = a;
        m_changed = true;
    }
}

void EmployeeGrid::onHeaderClicked(int section)
{
    if (section != kColActive)
        return;
    finishEdit();
    const bool tick = cell(0, kColActive)->checkState() != Qt::Checked;
    int firstDuplicate = -1;
    QStringList ticked;
    const bool was = m_updating;
    m_updating = true;
    for (int i = 0; i < kRows; ++i) {
        Row &r = m_rows[i];
        bool on = false;
        if (tick && !r.card.isEmpty() && !r.number.isEmpty()) {
            // Among rows sharing a card only the first becomes active.
            if (ticked.contains(r.card)) {
                if (firstDuplicate < 0)
                    firstDuplicate = i;
            } else {
                ticked << r.card;
                on = true;
            }
        }
        cell(i, kColActive)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        r.active = on ? QStringLiteral("1") : QStringLiteral("0");
    }
    m_updating = was;
    m_changed = true;
    if (firstDuplicate >= 0) {
        Dialogs::inform(QStringLiteral("同じカード番号を同時に対象には出来ません。 ") + line(), m_title,
                        Dialogs::Icon::Exclamation);
        m_grid->scrollToItem(cell(firstDuplicate, kColActive));
        m_grid->setCurrentCell(firstDuplicate, kColActive);
    }
}

// ---- moving and editing --------------------------------------------------------------------

bool EmployeeGrid::finishEdit()
{
    m_grid->commitOpen();
    return !m_cellFailed;
}

void EmployeeGrid::editCell(int row, int col)
{
    // After a message box the window may not have been made active again.
    if (isVisible() && !window()->isActiveWindow())
        window()->activateWindow();
    m_grid->setCurrentCell(row, col);
    m_grid->scrollToItem(cell(row, col));
    if (editable(row, col))
        m_grid->editItem(cell(row, col));
}

void EmployeeGrid::onCurrentCellChanged(int row, int col)
{
    if (m_updating || m_reenterPending || row < 0 || col < 0)
        return;
    if (editsAtOnce(row, col)) {
        QTimer::singleShot(0, this, [this, row, col] {
            if (!m_reenterPending && m_grid->currentRow() == row && m_grid->currentColumn() == col
                && !m_grid->openEditor() && editsAtOnce(row, col))
                m_grid->editItem(cell(row, col));
        });
    }
}

void EmployeeGrid::moveNext()
{
    int row = m_grid->currentRow();
    int col = m_grid->currentColumn();
    if (row < 0)
        return;
    if (col < kColActive) {
        ++col;
    } else {
        if (row >= kRows - 1)
            return;
        ++row;
        col = kColNumber;
    }
    m_grid->setCurrentCell(row, col);
    m_grid->scrollToItem(cell(row, col));
}

bool EmployeeGrid::gridKey(int key, const QString &text, bool editing, int col)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (editing) {
            if (!finishEdit())
                return true;
        }
        moveNext();
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: return true;
    case Qt::Key_Escape: return editing;
    case Qt::Key_Left: return !editing && col == kColNumber;
    case Qt::Key_Backspace:
    case Qt::Key_Delete: return false;
    default: break;
    }
    // Number columns take digits only.
    if (isDigitColumn(col))
        for (QChar c : text)
            if (DigitInput::asDigit(c).isNull())
                return true;
    return false;
}

bool EmployeeGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->property("gridColumn").isValid()) {
            auto *ke = static_cast<QKeyEvent *>(event);
            if (gridKey(ke->key(), ke->text(), true, w->property("gridColumn").toInt()))
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- rows ----------------------------------------------------------------------------------

void EmployeeGrid::removeRow(int row)
{
    if (m_rows.at(row).mark)
        --m_marks;
    m_rows.remove(row);
    m_rows.append(Row());
    redraw();
}

void EmployeeGrid::onCellClicked(int row, int col)
{
    if (!master() || col != kColNo || m_rows.at(row).number.isEmpty())
        return;
    Row &r = m_rows[row];
    r.mark = !r.mark;
    m_marks += r.mark ? 1 : -1;
    drawRow(row);
    m_delete->setEnabled(m_marks > 0);
}

void EmployeeGrid::cmdDelete_Click()
{
    if (!finishEdit())
        return;
    syncChecks();
    int last = -1;
    for (int i = kRows - 1; i >= 0; --i) {
        if (m_rows.at(i).mark) {
            m_rows.remove(i);
            m_rows.append(Row());
            last = i;
        }
    }
    redraw();
    m_marks = 0;
    m_delete->setEnabled(false);
    m_changed = true;
    if (last >= 0)
        m_grid->setCurrentCell(last, kColNumber);
}

// ---- saving and the buttons ----------------------------------------------------------------

bool EmployeeGrid::save(bool ask)
{
    syncChecks();
    if (!m_changed)
        return true;
    if (ask && !Dialogs::askYesNo(QStringLiteral("変更した内容を保存します。よろしいですか？"), m_title)) {
        startRoutine();
        return true;
    }
    if (master()) {
        for (Row &r : m_rows)
            r.mark = false;
        m_marks = 0;
        m_delete->setEnabled(false);
        redraw();
    }
    for (int i = 0; i < kRows; ++i) {
        const Row &r = m_rows.at(i);
        Employee &e = g_kojin[size_t(i)];
        e.no = QString::number(i + 1);
        e.number = r.number;
        e.name = r.name;
        e.card = r.card;
        e.category = r.category;
        e.active = r.active;
    }
    if (Kojin_Write() != 0)
        return false;
    m_changed = false;
    // Screens that hold employee data reload it when they are opened next.
    closeScreens({ScreenId::KojinEdit, ScreenId::ListEdit, ScreenId::FileOut, ScreenId::ListPrint,
                  master() ? ScreenId::CardSet : ScreenId::MasSet});
    return true;
}

int EmployeeGrid::check(int kind)
{
    if (kind == 0)
        m_print->setFocus();
    if (!finishEdit() || m_reenterPending)
        return -1;
    // A save that failed keeps the screen with its edits: leaving would drop them.
    if (!save(true))
        return -1;
    return 0;
}

void EmployeeGrid::cmdSet_Click()
{
    if (!finishEdit())
        return;
    if (master()) {
        for (int r = 0; r < kRows; ++r)
            for (int c = kColNumber; c <= kColCategory; ++c)
                if (!validateCell(r, c, cell(r, c)->text()))
                    return;
        if (save(false))
            startRoutine();
        return;
    }
    save(false);
}

void EmployeeGrid::cmdPrint_Click() { printBy(PrintRoute::Printer); }

void EmployeeGrid::cmdPdf_Click() { printBy(PrintRoute::Pdf); }

void EmployeeGrid::printBy(PrintRoute route)
{
    if (!finishEdit())
        return;
    if (!save(true))
        return;
    startRoutine();
    if (Kojin_Read(false) == 0) {
        Dialogs::inform(QStringLiteral("個人マスターに対象となるデータが存在しません。") + line()
                            + QStringLiteral("個人マスターを登録して下さい。"),
                        m_title, Dialogs::Icon::Exclamation);
        return;
    }
    PrintOut_MasterList(programInputs(), route);
}

void EmployeeGrid::cmdCancel_Click()
{
    if (check(0) != 0)
        return;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
        sub->hide();
    else
        hide();
    if (ScreenHost *host = screenHost()) {
        if (QWidget *w = host->findScreen(ScreenId::DataInput))
            host->showScreen(w);
    }
}
