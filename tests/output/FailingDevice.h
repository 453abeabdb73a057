#pragma once

#include <QIODevice>

// A device that takes `limit` bytes and then refuses every write, as a full disk does.
class FailingDevice : public QIODevice
{
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 room = m_limit - written.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = qMin(room, len);
        if (n < len)
            setErrorString(QStringLiteral("No space left on device"));
        written.append(data, n);
        return n;
    }

private:
    qint64 m_limit;
};
