#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

namespace quorvel::fuzz {

// Takes a fuzzer's input apart front to back: single bytes that choose a variant, lines that give
// short values, and the rest as the main text. Past the end every call yields zero or empty, so a
// target never needs to check the length itself.
class FuzzInput
{
public:
    FuzzInput(const uint8_t *data, size_t size)
        : m_bytes(reinterpret_cast<const char *>(data), qsizetype(size))
    {}

    uint8_t byte()
    {
        if (m_pos >= m_bytes.size()) {
            return 0;
        }
        return uint8_t(m_bytes[m_pos++]);
    }

    // The bytes up to the next LF (not included); the LF is consumed.
    QByteArray line()
    {
        const qsizetype end = m_bytes.indexOf('\n', m_pos);
        const qsizetype stop = end < 0 ? m_bytes.size() : end;
        QByteArray result = m_bytes.sliced(m_pos, stop - m_pos).toByteArray();
        m_pos = end < 0 ? m_bytes.size() : end + 1;
        return result;
    }

    QByteArray rest()
    {
        QByteArray result = m_bytes.sliced(m_pos).toByteArray();
        m_pos = m_bytes.size();
        return result;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

} // namespace quorvel::fuzz
