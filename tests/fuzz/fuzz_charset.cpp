// The decoding of a response body. Input: one byte that picks a Content-Type from a table or takes
// it from the next line, then the body.

#include "FuzzInput.h"

#include "core/common/Charset.h"

#include <QByteArray>

#include <array>
#include <cstdint>

using namespace quorvel;

namespace {

const std::array<QByteArray, 11> kContentTypes = {
    QByteArray(),
    QByteArray("text/html"),
    QByteArray("text/html; charset=utf-8"),
    QByteArray("text/html; charset=\"ISO-8859-1\""),
    QByteArray("text/html;charset=shift_jis"),
    QByteArray("application/xhtml+xml"),
    QByteArray("text/xml"),
    QByteArray("application/xml; charset=utf-16"),
    QByteArray("text/plain; charset=x-unknown"),
    QByteArray("TEXT/HTML; Charset=Windows-1251; q=1"),
    QByteArray("image/svg+xml"),
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::FuzzInput in(data, size);
    const uint8_t pick = in.byte() % 16;
    const QByteArray contentType = pick < kContentTypes.size() ? kContentTypes[pick] : in.line();
    const QByteArray body = in.rest();
    (void)decodeBody(contentType, body);
    return 0;
}
