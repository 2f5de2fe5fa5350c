#pragma once

// A pipe-like device over a byte array: no size, no seeking. Readers that
// take another path for such devices are checked with it.
#include <QByteArray>
#include <QIODevice>

#include <algorithm>
#include <cstring>

class SequentialDevice : public QIODevice
{
public:
    explicit SequentialDevice(const QByteArray &data) : m_data(data) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_data.size() - m_pos + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min(maxSize, qint64(m_data.size()) - m_pos);
        if (n > 0)
            std::memcpy(data, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_pos = 0;
};
