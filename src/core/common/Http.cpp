#include "core/common/Http.h"

#include <curl/curl.h>

namespace quorvel {

QByteArray HttpResult::header(QByteArrayView name) const
{
    for (const HttpHeader &h : headers) {
        if (h.name.compare(name, Qt::CaseInsensitive) == 0) {
            return h.value;
        }
    }
    return {};
}

HttpResult PerformRequest(const HttpRequest &)
{
    HttpResult r;
    r.error = QStringLiteral("not implemented");
    return r;
}

CurlGlobal::CurlGlobal()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlGlobal::~CurlGlobal()
{
    curl_global_cleanup();
}

} // namespace quorvel
