#include "Network.h"

#include <memory>

#include <windows.h>
#include <mmsystem.h>
#include <winhttp.h>

#include "library/File.h"
#include "library/Log.h"
#include "stats/WebServiceTrace.h"
#include "stats/WinHttpHandle.h"

namespace {

constexpr int32_t BoundaryBytes = 32;
constexpr int32_t UploadChunk = 8192;
constexpr int32_t DownloadBlock = 4096;
// A download gives up at this many failed reads.
constexpr int32_t FailedReadLimit = 4;

void Fail(const wchar_t* step)
{
    Warn((WString(L"Network::WebService") + step).buffer);
}

// What is left of the exchange's time; without a total limit every step
// keeps its own.
class Deadline
{
public:
    explicit Deadline(int32_t totalMs)
        : end(totalMs > 0 ? GetTickCount64() + ULONGLONG(totalMs) : 0)
    {
    }
    virtual ~Deadline() = default;

    [[nodiscard]] bool Passed() const { return end != 0 && GetTickCount64() >= end; }

    // A step's limit cut to what is left (0, WinHTTP's "no limit", counts
    // as longer than anything); at least 1 ms, as 0 would lift the limit.
    [[nodiscard]] int32_t Limit(int32_t stepMs) const
    {
        if (end == 0)
            return stepMs;
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG left = now < end ? end - now : 1;
        if (stepMs > 0 && ULONGLONG(stepMs) < left)
            return stepMs;
        return static_cast<int32_t>(left);
    }

private:
    ULONGLONG end;
};

HINTERNET OpenSession(const WebServiceRequest& request)
{
    if (request.proxy.length == 0)
        return WinHttpOpen(request.userAgent.buffer, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0);
    return WinHttpOpen(request.userAgent.buffer, WINHTTP_ACCESS_TYPE_NAMED_PROXY, request.proxy.buffer,
                       WINHTTP_NO_PROXY_BYPASS, 0);
}

// A port above the highest one is clamped to it rather than cut to 16 bits,
// which would reach some unrelated port.
INTERNET_PORT PortOf(const WebServiceRequest& request)
{
    if (request.port > 65535)
        return 65535;
    if (request.port != 0)
        return static_cast<INTERNET_PORT>(request.port);
    return request.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
}

const wchar_t* VerbText(uint32_t verb)
{
    static const wchar_t* const texts[] = {L"GET", L"POST", L"DELETE", L"PUT"};
    return verb < 4 ? texts[verb] : nullptr;
}

HINTERNET OpenRequest(const WinHttpHandle& connection, const WebServiceRequest& request)
{
    const wchar_t* acceptTypes[] = {request.acceptType.buffer, nullptr};
    return WinHttpOpenRequest(connection.handle, VerbText(request.verb), request.path.buffer, nullptr,
                              WINHTTP_NO_REFERER,
                              request.acceptType.length > 0 ? acceptTypes : WINHTTP_DEFAULT_ACCEPT_TYPES,
                              request.secure ? WINHTTP_FLAG_SECURE : 0);
}

// The wait for the answer's headers has a limit of its own, which
// WinHttpSetTimeouts leaves alone; it gets the receive limit, so a server
// that accepts and never answers holds the caller no longer than that.
// Set again before every step, each time cut to what is left of the
// exchange.
void LimitSteps(const WinHttpHandle& handle, const WebServiceRequest& request, const Deadline& deadline)
{
    WinHttpSetTimeouts(handle.handle, deadline.Limit(request.resolveTimeout), deadline.Limit(request.connectTimeout),
                       deadline.Limit(request.sendTimeout), deadline.Limit(request.receiveTimeout));
    DWORD answerWait = static_cast<DWORD>(deadline.Limit(request.receiveTimeout));
    WinHttpSetOption(handle.handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &answerWait, sizeof answerWait);
}

// A certificate from an untrusted root is accepted, so a server with a
// self-made certificate can be reached; expiry and host name still count.
void Configure(const WinHttpHandle& handle, const WebServiceRequest& request, const Deadline& deadline)
{
    LimitSteps(handle, request, deadline);
    if (!request.secure)
        return;
    DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    WinHttpSetOption(handle.handle, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

void AddHeader(const WinHttpHandle& handle, const WString& line)
{
    WinHttpAddRequestHeaders(handle.handle, line.buffer, static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);
}

// The first 32 bytes, one character each; fewer when the data is shorter,
// so a short buffer is never read past its end.
WString Boundary(const WebServiceRequest& request)
{
    const int32_t n = request.multipartSize < BoundaryBytes ? request.multipartSize : BoundaryBytes;
    WString boundary;
    boundary.SetLength(n);
    for (int32_t i = 0; i < n; ++i)
        boundary.buffer[i] = static_cast<wchar_t>(request.multipartData[i]);
    return boundary;
}

int32_t MultipartBodySize(const WebServiceRequest& request)
{
    return request.multipartSize > BoundaryBytes ? request.multipartSize - BoundaryBytes : 0;
}

WString DecodeUtf8(const NString& bytes)
{
    WString text;
    if (bytes.length == 0)
        return text;
    const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.buffer, bytes.length, nullptr, 0);
    if (units < 1)
        return text;
    text.SetLength(units);
    MultiByteToWideChar(CP_UTF8, 0, bytes.buffer, bytes.length, text.buffer, units);
    return text;
}

void ReadRawHeaders(const WinHttpHandle& handle, WebServiceRequest& request)
{
    DWORD size = 0;
    WinHttpQueryHeaders(handle.handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return;
    const DWORD units = size / sizeof(wchar_t) + 1;
    std::unique_ptr<wchar_t[]> text(new wchar_t[units]());
    if (WinHttpQueryHeaders(handle.handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            text.get(), &size, WINHTTP_NO_HEADER_INDEX))
        request.responseHeaders.Set(text.get());
}

// Appends the answer's bytes as they come; they are decoded as one text at
// the end (or at a failure), so a character cut by a chunk boundary stays
// whole.
class TextReader
{
public:
    TextReader(const WinHttpHandle& handle, WebServiceRequest& request)
        : handle(handle), request(request)
    {
    }
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    virtual ~TextReader() { request.response = DecodeUtf8(bytes); }

    // True once the answer's allowed bytes have arrived.
    [[nodiscard]] bool Full() const { return request.responseLimit > 0 && bytes.length >= request.responseLimit; }

    [[nodiscard]] bool ReadChunk(DWORD available, int64_t& received)
    {
        if (request.responseLimit > 0 && available > DWORD(request.responseLimit - bytes.length))
            available = DWORD(request.responseLimit - bytes.length);
        std::unique_ptr<char[]> chunk(new char[available + 1]);
        DWORD read = 0;
        if (!WinHttpReadData(handle.handle, chunk.get(), available, &read))
            return false;
        chunk[read] = 0;
        bytes.SetLength(bytes.length + static_cast<int32_t>(read));
        std::memcpy(bytes.buffer + bytes.length - read, chunk.get(), read);
        received += read;
        return true;
    }

private:
    const WinHttpHandle& handle;
    WebServiceRequest& request;
    NString bytes;
};

// Reads everything the server announces into a block at a time; false once
// the fourth read has failed.
bool DownloadAvailable(const WinHttpHandle& handle, File& file, int32_t& failedReads, int64_t& received)
{
    std::unique_ptr<char[]> block(new char[DownloadBlock + 1]);
    while (failedReads < FailedReadLimit) {
        DWORD read = 0;
        if (!WinHttpReadData(handle.handle, block.get(), DownloadBlock, &read)) {
            ++failedReads;
            continue;
        }
        if (read == 0)
            return true;
        received += read;
        if (file.stream != nullptr)
            std::fwrite(block.get(), 1, read, file.stream);
    }
    return false;
}

// The body length the answer's headers announce, -1 when they announce none.
int64_t AnnouncedLength(const WinHttpHandle& handle)
{
    DWORD length = 0;
    DWORD size = sizeof length;
    if (!WinHttpQueryHeaders(handle.handle, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX))
        return -1;
    return length;
}

// False when the server's data could not be read to its end, or not
// within the exchange's time. A connection that ends before the announced
// length is such a failure too, though WinHTTP may report that end as the
// body's end. A text answer that reaches its limit counts as read.
bool ReadBody(const WinHttpHandle& handle, WebServiceRequest& request, const Deadline& deadline)
{
    TextReader text(handle, request);
    int32_t failedReads = 0;
    int64_t received = 0;
    for (;;) {
        if (request.downloadFile == nullptr && text.Full())
            return true;
        if (deadline.Passed())
            return false;
        LimitSteps(handle, request, deadline);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(handle.handle, &available))
            return false;
        if (available == 0)
            return received >= AnnouncedLength(handle);
        if (request.downloadFile != nullptr) {
            if (!DownloadAvailable(handle, *request.downloadFile, failedReads, received))
                return false;
        } else if (!text.ReadChunk(available, received)) {
            return false;
        }
    }
}

}  // namespace

bool Network::Progress(int32_t, int32_t)
{
    return true;
}

bool Network::WebService(WebServiceRequest& request)
{
    request.response.Clear();
    request.startTime = timeGetTime();
    request.endTime = 0;
    const WinHttpHandle session(OpenSession(request));
    if (!session.IsOpen()) {
        Fail(L" hSession==NULL");
        return false;
    }
    const WinHttpHandle connection(WinHttpConnect(session.handle, request.host.buffer, PortOf(request), 0));
    if (!connection.IsOpen()) {
        Fail(L" hConnect==NULL");
        return false;
    }
    const WinHttpHandle handle(OpenRequest(connection, request));
    if (!handle.IsOpen()) {
        Fail(L" hRequest==NULL");
        return false;
    }
    const Deadline deadline(request.totalTimeout);
    Configure(handle, request, deadline);
    AddHeaders(handle, request);
    if (!Send(handle, request))
        return false;
    LimitSteps(handle, request, deadline);
    if (!WinHttpReceiveResponse(handle.handle, nullptr)) {
        Fail(L" WinHttpReceiveResponse==FALSE");
        return false;
    }
    if (request.wantHeaders)
        ReadRawHeaders(handle, request);
    const bool complete = ReadBody(handle, request, deadline);
    request.endTime = timeGetTime();
    if (request.tracePath.length > 0)
        WriteWebServiceTrace(request.tracePath, request);
    return complete;
}

void Network::AddHeaders(const WinHttpHandle& handle, const WebServiceRequest& request) const
{
    if (cookies.length > 0)
        AddHeader(handle, L"Cookie: " + cookies);
    if (request.multipartData != nullptr) {
        AddHeader(handle, L"Content-Type: multipart/form-data; boundary=\"" + Boundary(request) + L"\"");
        AddHeader(handle, L"MIME-Version: 1.0");
    } else if (request.contentType.length > 0) {
        AddHeader(handle, request.contentType);
    } else {
        AddHeader(handle, L"Content-Type: application/x-www-form-urlencoded");
    }
    if (request.headers.length > 0)
        AddHeader(handle, request.headers);
}

// A failed send is not noticed here: it shows when the answer is awaited.
// False only when Progress aborts an upload.
bool Network::Send(const WinHttpHandle& handle, const WebServiceRequest& request)
{
    if (request.multipartData != nullptr)
        return SendMultipart(handle, request);
    if (request.body.length == 0) {
        WinHttpSendRequest(handle.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
        return true;
    }
    const NString utf8(request.body.buffer);
    WinHttpSendRequest(handle.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, utf8.buffer, utf8.length, utf8.length, 0);
    return true;
}

bool Network::SendMultipart(const WinHttpHandle& handle, const WebServiceRequest& request)
{
    const int32_t total = MultipartBodySize(request);
    WinHttpSendRequest(handle.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, total, 0);
    if (!Progress(0, total))
        return false;
    for (int32_t offset = 0; offset < total; offset += UploadChunk) {
        const int32_t chunk = total - offset < UploadChunk ? total - offset : UploadChunk;
        WinHttpWriteData(handle.handle, request.multipartData + BoundaryBytes + offset, chunk, nullptr);
        if (!Progress(offset + chunk, total))
            return false;
    }
    return Progress(total, total);
}
