#include "DigitInput.h"

#include <QLineEdit>
#include <QValidator>

namespace DigitInput {
namespace {

class DigitValidator : public QValidator
{
public:
    DigitValidator(const QString &alsoAllowed, int maxDigits, QObject *parent)
        : QValidator(parent), m_allowed(alsoAllowed), m_maxDigits(maxDigits)
    {
    }

    State validate(QString &input, int &) const override
    {
        // Same length before and after, so the cursor position stays right.
        input = halfWidthDigits(input);
        int digits = 0;
        for (const QChar c : std::as_const(input)) {
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                ++digits;
            else if (!m_allowed.contains(c))
                return Invalid;
        }
        return m_maxDigits >= 0 && digits > m_maxDigits ? Invalid : Acceptable;
    }

private:
    QString m_allowed;
    int m_maxDigits;
};

} // namespace

QChar asDigit(QChar c)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return c;
    if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19)
        return QChar(u'0' + (c.unicode() - 0xFF10));
    return QChar();
}

bool isDigitKey(const QString &text) { return text.size() == 1 && !asDigit(text.at(0)).isNull(); }

QString halfWidthDigits(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const QChar d = asDigit(c);
        if (!d.isNull())
            c = d;
    }
    return out;
}

void install(QLineEdit *box, const QString &alsoAllowed, int maxDigits)
{
    box->setValidator(new DigitValidator(alsoAllowed, maxDigits, box));
}

} // namespace DigitInput
