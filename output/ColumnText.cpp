#include "ColumnText.h"

#include "common/SjisText.h"

ColumnText::ColumnText(SjisTextWriter &out) : m_out(out) {}

void ColumnText::put(const QByteArray &bytes)
{
    m_out.writeBytes(bytes);
    m_column += int(bytes.size());
}

void ColumnText::text(const QString &s) { put(SjisText::encode(s)); }

void ColumnText::zoneStep()
{
    const int k = (m_column - 1) / ExportText::kZoneWidth + 1;
    pad(k * ExportText::kZoneWidth + 1 - m_column);
}

void ColumnText::pad(int n)
{
    if (n > 0)
        put(QByteArray(n, ' '));
}

void ColumnText::moveTo(int n)
{
    if (m_column > n)
        endLine();
    pad(n - m_column);
}

void ColumnText::number(qint64 v)
{
    QByteArray b = v < 0 ? QByteArray("-") : QByteArray(" ");
    b += QByteArray::number(v < 0 ? -v : v);
    b += ' ';
    put(b);
}

void ColumnText::endLine()
{
    m_out.writeBytes("\r\n");
    m_column = 1;
}

namespace ExportText {

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r'))
        && !s.contains(QLatin1Char('\n')))
        return s;
    QString q = s;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString trimTrailingBlanks(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' '))
        --n;
    return s.left(n);
}

int characterCount(const QString &s)
{
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        ++n;
    }
    return n;
}

} // namespace ExportText
