#pragma once

// One request of the web service client and, after Network::WebService,
// its answer. A plain record filled by the caller; it does not own what
// `lock`, `downloadFile` and `multipartData` point to.

#include <cstdint>

#include "library/TString.h"

class File;
class Lock;

struct WebServiceRequest
{
    // Verbs.
    static constexpr uint32_t Get = 0;
    static constexpr uint32_t Post = 1;
    static constexpr uint32_t Delete = 2;
    static constexpr uint32_t Put = 3;

    // Six hours: long enough for any upload the client was made for.
    static constexpr int32_t LongTimeout = 21600000;

    Lock* lock = nullptr;             // held while the trace record is written
    WString userAgent = L"Ostrel/1.0";
    uint32_t verb = Get;              // any other value sends a GET
    bool secure = true;               // HTTPS; false for plain HTTP
    uint32_t port = 0;                // 0: 443 when secure, 80 otherwise
    WString proxy;                    // empty: the system's proxy configuration
    WString acceptType;               // the one media type offered; empty: none
    WString response;                 // out: the answer's body as text
    File* downloadFile = nullptr;     // when set, the body goes there instead
    WString host;
    WString path;                     // handed to WinHTTP as it is
    WString contentType;              // a whole header line; empty: form-urlencoded
    WString headers;                  // further header lines, CR LF between them
    WString body;                     // sent as UTF-8
    const uint8_t* multipartData = nullptr;  // 32 boundary bytes, then the body
    int32_t multipartSize = 0;               // boundary bytes included
    bool wantHeaders = false;
    WString responseHeaders;          // out: raw answer headers, CR LF lines
    WString tracePath;                // empty: no trace record
    uint32_t startTime = 0;           // out: timeGetTime() at the start
    uint32_t endTime = 0;             // out: timeGetTime() after the answer

    // Milliseconds each, as WinHttpSetTimeouts takes them (0: no limit);
    // the receive limit also bounds the wait for the answer's headers.
    int32_t resolveTimeout = 0;
    int32_t connectTimeout = LongTimeout;
    int32_t sendTimeout = LongTimeout;
    int32_t receiveTimeout = LongTimeout;
    // The whole exchange, from sending the request to the last byte read,
    // in milliseconds; every step gets at most what is left of it, so a
    // server that answers byte by byte cannot stretch the exchange. 0: only
    // the steps' own limits.
    int32_t totalTimeout = 0;
    // At most this many bytes of a text answer are read; the rest is
    // ignored and the answer counts as read. 0: no limit.
    int32_t responseLimit = 0;
};
