// The web service client against real servers on loopback (web_server.py):
// every field of the request record is checked against what the server
// read, and every failure against its warning line.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "library/File.h"
#include "stats/Network.h"
#include "stats/Statistic.h"
#include "stats/WebServiceRequest.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"
#include "support/StdoutCapture.h"
#include "tests/stats/TestServer.h"

namespace {

const char* const NoWarning = "";
const char* const ReceiveFailed = "WARN> Network::WebService WinHttpReceiveResponse==FALSE\r\n";

WebServiceRequest RequestTo(const std::string& server, const wchar_t* path)
{
    WebServiceRequest request;
    request.host = L"localhost";
    request.port = TestServer::Port(server);
    request.secure = server != "http";
    request.path = path;
    return request;
}

std::string Narrow(const WString& text)
{
    return text.length == 0 ? std::string() : Utf8(std::wstring(text.buffer, text.length));
}

struct Outcome
{
    bool result;
    std::string warnings;  // what the request wrote to standard output
};

// Runs the request with standard output caught; the catch ends before any
// assertion, so failure messages stay visible.
Outcome Attempt(Network& network, WebServiceRequest& request)
{
    const StdoutCapture output;
    const bool result = network.WebService(request);
    return {result, output.Text()};
}

class RecordingNetwork : public Network
{
public:
    bool Progress(int32_t done, int32_t total) override
    {
        calls.emplace_back(done, total);
        return static_cast<int>(calls.size()) != refuseCall;
    }

    std::vector<std::pair<int32_t, int32_t>> calls;
    int refuseCall = 0;  // the call (from 1) that answers false; 0 for none
};

// 32 boundary bytes, then a body of `size` bytes that no window repeats in.
std::string MultipartData(int size)
{
    std::string data = "----tarmesh-boundary-0123456789A";
    for (int i = 0; i < size; ++i)
        data += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
}

}  // namespace

TEST(WebService, EveryVerbAndAnUnknownOneReachTheServer)
{
    const char* const expected[] = {"GET", "POST", "DELETE", "PUT", "GET"};
    for (uint32_t verb = 0; verb < 5; ++verb) {
        Network network;
        WebServiceRequest request = RequestTo("https", L"/verb");
        request.verb = verb;
        ASSERT_TRUE(network.WebService(request)) << verb;
        EXPECT_EQ(TestServer::Seen(static_cast<int>(verb) + 1).method, expected[verb]) << verb;
    }
}

TEST(WebService, EveryHeaderFieldAndTheUtf8BodyArriveAsGiven)
{
    Network network;
    network.cookies = L"session=42; theme=dark";
    WebServiceRequest request = RequestTo("https", L"/fields?x=1");
    request.verb = WebServiceRequest::Put;
    request.userAgent = L"Probe/2.5 (test)";
    request.acceptType = L"text/plain";
    request.contentType = L"Content-Type: text/plain; charset=utf-8";
    request.headers = L"X-One: 1\r\nX-Two: zw\u00F6lf";
    request.body = L"gr\u00F6\u00DFe=\u6771\u4EAC";
    ASSERT_TRUE(network.WebService(request));

    const SeenRequest seen = TestServer::Seen(1);
    EXPECT_EQ(seen.method, "PUT");
    EXPECT_EQ(seen.target, "/fields?x=1");
    EXPECT_EQ(seen.Header("User-Agent"), "Probe/2.5 (test)");
    EXPECT_EQ(seen.Header("Accept"), "text/plain");
    EXPECT_EQ(seen.Header("Cookie"), "session=42; theme=dark");
    EXPECT_EQ(seen.Header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(seen.Header("X-One"), "1");
    EXPECT_EQ(seen.Header("X-Two"), "zw\xC3\xB6lf");
    EXPECT_LT(seen.IndexOf("Cookie"), seen.IndexOf("Content-Type"));
    EXPECT_LT(seen.IndexOf("Content-Type"), seen.IndexOf("X-One"));
    EXPECT_LT(seen.IndexOf("X-One"), seen.IndexOf("X-Two"));
    EXPECT_EQ(seen.body, "gr\xC3\xB6\xC3\x9F" "e=\xE6\x9D\xB1\xE4\xBA\xAC");
    EXPECT_EQ(seen.Header("Content-Length"), "14");
    EXPECT_EQ(Narrow(request.response), "answer to /fields?x=1");
}

TEST(WebService, DefaultsSendTheFormContentTypeAndNothingElseOfTheirOwn)
{
    Network network;
    WebServiceRequest request = RequestTo("https", L"/defaults");
    ASSERT_TRUE(network.WebService(request));

    const SeenRequest seen = TestServer::Seen(1);
    EXPECT_EQ(seen.method, "GET");
    EXPECT_EQ(seen.Header("User-Agent"), "Ostrel/1.0");
    EXPECT_EQ(seen.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(seen.Header("Accept"), "(absent)");
    EXPECT_EQ(seen.Header("Cookie"), "(absent)");
    EXPECT_EQ(seen.body, "");
    const std::string length = seen.Header("Content-Length");
    EXPECT_TRUE(length == "(absent)" || length == "0") << length;
}

TEST(WebService, PlainHttpUsesTheGivenPortAndSecureRefusesAPlainServer)
{
    Network network;
    WebServiceRequest plain = RequestTo("http", L"/plain");
    ASSERT_TRUE(network.WebService(plain));
    EXPECT_EQ(Narrow(plain.response), "answer to /plain");

    WebServiceRequest secure = RequestTo("http", L"/secure");
    secure.secure = true;
    const Outcome outcome = Attempt(network, secure);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.warnings, ReceiveFailed);
}

TEST(WebService, NamedProxyCarriesThePlainRequest)
{
    Network network;
    WebServiceRequest request = RequestTo("http", L"/via-proxy");
    request.host = L"far-away.invalid";
    request.port = 8080;
    request.proxy = L"127.0.0.1:" + WString(static_cast<int32_t>(TestServer::Port("http")));
    ASSERT_TRUE(network.WebService(request));
    EXPECT_EQ(TestServer::Seen(1).target, "http://far-away.invalid:8080/via-proxy");
}

TEST(WebService, MultipartBodyIsUploadedInChunksWithProgress)
{
    const std::string data = MultipartData(20000);
    RecordingNetwork network;
    WebServiceRequest request = RequestTo("https", L"/upload");
    request.verb = WebServiceRequest::Post;
    request.multipartData = reinterpret_cast<const uint8_t*>(data.data());
    request.multipartSize = static_cast<int32_t>(data.size());
    request.body = L"ignored";
    request.contentType = L"Content-Type: text/ignored";
    ASSERT_TRUE(network.WebService(request));

    const std::vector<std::pair<int32_t, int32_t>> calls = {
        {0, 20000}, {8192, 20000}, {16384, 20000}, {20000, 20000}, {20000, 20000}};
    EXPECT_EQ(network.calls, calls);
    const SeenRequest seen = TestServer::Seen(1);
    EXPECT_EQ(seen.Header("Content-Type"), "multipart/form-data; boundary=\"" + data.substr(0, 32) + "\"");
    EXPECT_EQ(seen.Header("MIME-Version"), "1.0");
    EXPECT_EQ(seen.Header("Content-Length"), "20000");
    EXPECT_TRUE(seen.body == data.substr(32)) << seen.body.size() << " bytes";
}

TEST(WebService, ProgressRefusalAbortsTheUploadSilently)
{
    const std::string data = MultipartData(20000);
    RecordingNetwork network;
    network.refuseCall = 2;
    WebServiceRequest request = RequestTo("https", L"/upload");
    request.multipartData = reinterpret_cast<const uint8_t*>(data.data());
    request.multipartSize = static_cast<int32_t>(data.size());
    const Outcome outcome = Attempt(network, request);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(network.calls.size(), 2u);
    EXPECT_EQ(outcome.warnings, NoWarning);
}

TEST(WebService, MultipartShorterThanItsBoundarySendsNoBody)
{
    const std::string data = "short-boundary";
    RecordingNetwork network;
    WebServiceRequest request = RequestTo("https", L"/short");
    request.multipartData = reinterpret_cast<const uint8_t*>(data.data());
    request.multipartSize = static_cast<int32_t>(data.size());
    ASSERT_TRUE(network.WebService(request));
    const std::vector<std::pair<int32_t, int32_t>> calls = {{0, 0}, {0, 0}};
    EXPECT_EQ(network.calls, calls);
    const SeenRequest seen = TestServer::Seen(1);
    EXPECT_EQ(seen.Header("Content-Type"), "multipart/form-data; boundary=\"short-boundary\"");
    EXPECT_EQ(seen.body, "");
}

TEST(WebService, DownloadGoesIntoTheFileAndAClosedFileDropsIt)
{
    const TempFolder folder(L"tarmesh-download");
    Network network;
    File file;
    ASSERT_TRUE(file.Open((folder.Path() + L"answer.bin").c_str(), true, true));
    WebServiceRequest request = RequestTo("https", L"/download?size=10000");
    request.downloadFile = &file;
    ASSERT_TRUE(network.WebService(request));
    file.Close();
    std::string pattern;
    for (int i = 0; i < 1000; ++i)
        pattern += "0123456789";
    EXPECT_TRUE(ReadWhole(folder.Path() + L"answer.bin") == pattern);
    EXPECT_EQ(request.response.length, 0);

    File closed;
    request.downloadFile = &closed;
    EXPECT_TRUE(network.WebService(request));
    EXPECT_EQ(request.response.length, 0);
}

TEST(WebService, RawHeadersAreFetchedOnlyWhenAskedAndKeptOtherwise)
{
    Network network;
    WebServiceRequest request = RequestTo("https", L"/headers");
    request.wantHeaders = true;
    ASSERT_TRUE(network.WebService(request));
    const std::string headers = Narrow(request.responseHeaders);
    EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
    EXPECT_NE(headers.find("\r\nX-Probe: yes\r\n"), std::string::npos) << headers;
    EXPECT_EQ(headers.substr(headers.size() - 4), "\r\n\r\n");

    request.wantHeaders = false;
    request.path = L"/missing?status=404";
    ASSERT_TRUE(network.WebService(request));
    EXPECT_EQ(Narrow(request.responseHeaders), headers);
    EXPECT_EQ(Narrow(request.response), "answer to /missing?status=404");
}

TEST(WebService, AnswerBodiesOfEveryShapeAreReadWhole)
{
    Network network;
    WebServiceRequest request = RequestTo("https", L"/empty?size=0");
    ASSERT_TRUE(network.WebService(request));
    EXPECT_EQ(request.response.length, 0);

    request.path = L"/long?size=100000";
    ASSERT_TRUE(network.WebService(request));
    ASSERT_EQ(request.response.length, 100000);
    EXPECT_EQ(request.response.buffer[99999], L'9');

    // The server sends the two pieces apart, cutting a character.
    request.path = L"/split?split=1";
    ASSERT_TRUE(network.WebService(request));
    EXPECT_EQ(std::wstring(request.response.buffer), L"Gr\u00FC\u00DFe, \u6771\u4EAC");
}

// A port above 65535 cut to 16 bits would reach the HTTPS server.
TEST(WebServiceFailure, PortBeyondTheRangeIsNotCutToAnotherPort)
{
    Network network;
    WebServiceRequest request = RequestTo("https", L"/");
    request.port += 65536;
    const Outcome outcome = Attempt(network, request);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.warnings, ReceiveFailed);
}

// A refused connection and a server that closes at once both surface when
// the answer is awaited.
TEST(WebServiceFailure, RefusedOrClosedConnectionFailsWhenTheAnswerIsAwaited)
{
    for (const char* server : {"refused", "close"}) {
        SCOPED_TRACE(server);
        Network network;
        WebServiceRequest request = RequestTo(server, L"/");
        const Outcome outcome = Attempt(network, request);
        EXPECT_FALSE(outcome.result);
        EXPECT_EQ(outcome.warnings, ReceiveFailed);
    }
}

// Before the time-outs were the request's own, a silent server held the
// caller for the client's six hours.
TEST(WebServiceFailure, SilentServerEndsAtTheRequestsOwnTimeOut)
{
    const std::pair<const char*, const wchar_t*> silences[] = {
        {"silent", L"/"}, {"https", L"/?hold=1"}, {"http", L"/?hold=1"}};
    for (const auto& [server, path] : silences) {
        Network network;
        WebServiceRequest request = RequestTo(server, path);
        request.connectTimeout = request.sendTimeout = request.receiveTimeout = 1000;
        const Outcome outcome = Attempt(network, request);
        EXPECT_FALSE(outcome.result) << server;
        EXPECT_EQ(outcome.warnings, ReceiveFailed) << server;
    }
}

TEST(WebServiceFailure, CertificateForAnotherHostIsRefusedDespiteTheUntrustedRootAcceptance)
{
    Network network;
    WebServiceRequest request = RequestTo("wrongname", L"/");
    const Outcome outcome = Attempt(network, request);
    EXPECT_FALSE(outcome.result);
    EXPECT_EQ(outcome.warnings, ReceiveFailed);
}

// WinHTTP took the end of the connection for the body's end and the
// truncated answer for a whole one.
TEST(WebServiceFailure, ReadFailureKeepsWhatArrivedWithoutWarning)
{
    const TempFolder folder(L"tarmesh-cut");
    for (const char* server : {"https", "http"}) {
        Network network;
        WebServiceRequest request = RequestTo(server, L"/cut?truncated=1");
        Outcome outcome = Attempt(network, request);
        EXPECT_FALSE(outcome.result) << server;
        EXPECT_EQ(outcome.warnings, NoWarning) << server;
        EXPECT_EQ(Narrow(request.response), "0123456789") << server;

        File file;
        ASSERT_TRUE(file.Open((folder.Path() + L"cut.bin").c_str(), true, true));
        request.downloadFile = &file;
        outcome = Attempt(network, request);
        file.Close();
        EXPECT_FALSE(outcome.result) << server;
        EXPECT_EQ(outcome.warnings, NoWarning) << server;
        EXPECT_EQ(ReadWhole(folder.Path() + L"cut.bin"), "0123456789") << server;
    }
}

// The statistic's own request, sent to servers on loopback. Each step had
// its own limit only: a server that trickled its answer held the setup
// window for ever, one that flooded it ended the process by memory
// exhaustion.
TEST(WebServiceFailure, StatisticEndsInTimeAgainstTricklingAndFloodingServers)
{
    for (const wchar_t* path : {L"/?trickle=1", L"/?flood=1"}) {
        const std::string shape = Narrow(WString(path));
        WebServiceRequest request = StatisticRequest(L"install");
        request.host = L"localhost";
        request.port = TestServer::Port("https");
        request.path = path;
        Network network;
        const ULONGLONG started = GetTickCount64();
        const Outcome outcome = Attempt(network, request);
        const ULONGLONG took = GetTickCount64() - started;
        EXPECT_LE(took, ULONGLONG(StatisticTotalTimeoutMs) + 500) << shape;
        EXPECT_EQ(outcome.warnings, NoWarning) << shape;
        if (shape == "/?trickle=1") {
            EXPECT_FALSE(outcome.result);
            // Longer than any one step's limit: the bytes kept coming.
            EXPECT_GT(took, ULONGLONG(StatisticTimeoutMs));
            EXPECT_GT(request.response.length, 0);
        } else {
            EXPECT_TRUE(outcome.result);
            EXPECT_EQ(request.response.length, StatisticResponseLimit);
        }
    }
}
