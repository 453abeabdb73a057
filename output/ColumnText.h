#pragma once

#include <QByteArray>
#include <QString>

class SjisTextWriter;

// Places fields of the fixed-column export layouts. Columns count Shift-JIS bytes (a
// full-width character takes two, a half-width one), column 1 being the first of a line, so
// that the files line up in any editor that shows them in code page 932. Only spaces are
// ever written to move; never tabs.
class ColumnText
{
public:
    explicit ColumnText(SjisTextWriter &out);

    // The column the next byte will land in.
    int column() const { return m_column; }

    void text(const QString &s);
    // Moves to the next print zone (zones start at columns 1, 15, 29, ... every 14 columns);
    // at column 1 this moves to 15.
    void zoneStep();
    // n spaces; nothing for n <= 0.
    void pad(int n);
    // Moves to column n; when already past it, ends the line and goes to column n of the next.
    void moveTo(int n);
    // A sign place (blank or "-"), the decimal digits and one trailing blank.
    void number(qint64 v);
    // CR LF.
    void endLine();

private:
    void put(const QByteArray &bytes);

    SjisTextWriter &m_out;
    int m_column = 1;
};

// Texts shared by the layouts.
namespace ExportText {
constexpr int kZoneWidth = 14;
// A field of a comma layout: written as it is unless it holds a comma, a double quote, CR or
// LF; then it is put in double quotes with each inner double quote doubled, so the columns
// after it stay where the importing program expects them.
QString csvField(const QString &s);
// The text without blanks (U+0020) at its end.
QString trimTrailingBlanks(const QString &s);
// Number of characters, counting a surrogate pair once.
int characterCount(const QString &s);
} // namespace ExportText
