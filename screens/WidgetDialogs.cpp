#include "WidgetDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputMethod>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

QMessageBox::StandardButton toStandard(Dialogs::Answer a)
{
    using A = Dialogs::Answer;
    switch (a) {
    case A::Ok: return QMessageBox::Ok;
    case A::Cancel: return QMessageBox::Cancel;
    case A::Abort: return QMessageBox::Abort;
    case A::Retry: return QMessageBox::Retry;
    case A::Ignore: return QMessageBox::Ignore;
    case A::Yes: return QMessageBox::Yes;
    case A::No: return QMessageBox::No;
    case A::TryAgain: return QMessageBox::Retry;
    case A::Continue: return QMessageBox::Ignore;
    case A::None: break;
    }
    return QMessageBox::NoButton;
}

} // namespace

Dialogs::Answer WidgetDialogs::message(const Dialogs::Message &m)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(m.title);
    box.setText(QString(m.text)
                    .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                    .replace(QStringLiteral("\n\n\n"), QStringLiteral("\n\n")));
    switch (m.icon) {
    case Dialogs::Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    case Dialogs::Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Dialogs::Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Dialogs::Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Dialogs::Icon::None: break;
    }
    const auto answers = Dialogs::buttonsOf(m.buttons);
    QList<QAbstractButton *> buttons;
    for (auto a : answers) {
        QAbstractButton *b = nullptr;
        if (a == Dialogs::Answer::TryAgain)
            b = box.addButton(QStringLiteral("再試行(&T)"), QMessageBox::AcceptRole);
        else if (a == Dialogs::Answer::Continue)
            b = box.addButton(QStringLiteral("続行(&C)"), QMessageBox::AcceptRole);
        else
            b = box.addButton(toStandard(a));
        buttons.append(b);
    }
    const int def = qBound(1, m.defaultButton, int(buttons.size())) - 1;
    if (auto *pb = qobject_cast<QPushButton *>(buttons.value(def)))
        box.setDefaultButton(pb);
    box.exec();
    const int i = int(buttons.indexOf(box.clickedButton()));
    if (i < 0) // closed with Escape or the title bar
        return answers.contains(Dialogs::Answer::Cancel) ? Dialogs::Answer::Cancel : answers.last();
    return answers.at(i);
}

Dialogs::FileAnswer WidgetDialogs::file(const Dialogs::FileRequest &r)
{
    QFileDialog dlg(QApplication::activeWindow(), r.title, r.directory);
    using K = Dialogs::FileRequest::Kind;
    if (r.kind == K::Folder) {
        dlg.setFileMode(QFileDialog::Directory);
        dlg.setOption(QFileDialog::ShowDirsOnly);
    } else if (r.kind == K::Save) {
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        // The program asks its own overwrite question after checking the file's attributes.
        dlg.setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        dlg.setFileMode(QFileDialog::ExistingFile);
    }
    if (!r.filters.isEmpty()) {
        dlg.setNameFilters(r.filters);
        dlg.selectNameFilter(r.filters.value(r.filterIndex));
    }
    if (!r.fileName.isEmpty())
        dlg.selectFile(r.fileName);
    Dialogs::FileAnswer a;
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return a;
    a.accepted = true;
    a.path = dlg.selectedFiles().first();
    a.filterIndex = int(r.filters.indexOf(dlg.selectedNameFilter()));
    return a;
}

bool WidgetDialogs::print(Dialogs::PrintRequest &r)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(r.copies);
    if (!r.printerName.isEmpty())
        printer.setPrinterName(r.printerName);
    if (!r.pdfPath.isEmpty())
        printer.setOutputFileName(r.pdfPath);
    QPrintDialog dlg(&printer, QApplication::activeWindow());
    // Printing to a file has a button of its own on every printing screen; this dialog is for
    // the printers. Nothing is ever selected for printing a part of a report.
    dlg.setOption(QAbstractPrintDialog::PrintToFile, false);
    dlg.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    r.copies = printer.copyCount();
    r.printerName = printer.printerName();
    r.pdfPath = printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
    r.accepted = true;
    return true;
}

void ImeSwitch(QWidget *widget, bool open)
{
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_InputMethodEnabled, open);
    if (widget->hasFocus())
        QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}
