#pragma once

// The program's HTTP client: one synchronous HTTP or HTTPS request through
// WinHTTP per call, described by a WebServiceRequest, whose output fields
// receive the answer. Failed steps are logged with Warn; a request that
// names a trace file gets a record appended to it.

#include <cstdint>

#include "library/Disk.h"
#include "library/TString.h"
#include "stats/WebServiceRequest.h"

class WinHttpHandle;

class Network
{
public:
    Network() = default;
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
    virtual ~Network() = default;

    // Called during a multipart upload with the bytes sent so far and the
    // body's size; false aborts the request.
    virtual bool Progress(int32_t done, int32_t total);

    // True when an answer arrived and its body was read to the end, whatever
    // its status code; false on every failure. `response` is cleared first,
    // and what arrived before a failed read stays in it.
    [[nodiscard]] bool WebService(WebServiceRequest& request);

    Disk disk;
    // Sent with every request as a "Cookie: " header when not empty.
    WString cookies;

private:
    void AddHeaders(const WinHttpHandle& handle, const WebServiceRequest& request) const;
    [[nodiscard]] bool Send(const WinHttpHandle& handle, const WebServiceRequest& request);
    [[nodiscard]] bool SendMultipart(const WinHttpHandle& handle, const WebServiceRequest& request);
};
