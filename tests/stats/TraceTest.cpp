// Trace records of real requests, read back byte for byte, and the lock
// that keeps records of requests sharing it whole.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include <windows.h>

#include "stats/Lock.h"
#include "stats/Network.h"
#include "stats/WebServiceRequest.h"
#include "support/ChildProcess.h"
#include "support/RealFiles.h"
#include "tests/stats/TestServer.h"

namespace {

const std::string Banner = "****   W E B   S E R V I C E   ****\r\n***********************************\r\n\r\n";

std::string Narrow(const WString& text)
{
    return text.length == 0 ? std::string() : Utf8(std::wstring(text.buffer, text.length));
}

std::string Port()
{
    return std::to_string(TestServer::Port("https"));
}

// The record's head up to its date, the date (checked by its shape), and
// the rest.
void ExpectRecord(const std::string& record, const std::string& afterDate)
{
    ASSERT_GE(record.size(), Banner.size() + 19) << record;
    EXPECT_EQ(record.substr(0, Banner.size()), Banner);
    const std::string date = record.substr(Banner.size(), 19);
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(20\d\d/[01]\d/[0-3]\d [0-2]\d:[0-5]\d:[0-5]\d)"))) << date;
    EXPECT_EQ(record.substr(Banner.size() + 19), afterDate);
}

std::string Milliseconds(const WebServiceRequest& request)
{
    return std::to_string(static_cast<int32_t>(request.endTime - request.startTime)) + " milliseconds\r\n";
}

}  // namespace

TEST(WebServiceTrace, TwoRequestsSharingALockAppendTwoWholeRecords)
{
    const TempFolder folder(L"tarmesh-trace");
    const std::wstring path = folder.Path() + L"trace.txt";
    Lock root;
    Lock child(&root);
    Network network;

    WebServiceRequest post;
    post.lock = &child;
    post.host = L"localhost";
    post.port = TestServer::Port("https");
    post.verb = WebServiceRequest::Post;
    post.path = L"/traced?n=1";
    post.body = L"name=\u00C5sa";
    post.wantHeaders = true;
    post.tracePath = path.c_str();
    ASSERT_TRUE(network.WebService(post));
    const std::string first = ReadWhole(path);

    WebServiceRequest unknownVerb;
    unknownVerb.lock = &root;
    unknownVerb.host = L"localhost";
    unknownVerb.port = TestServer::Port("http");
    unknownVerb.secure = false;
    unknownVerb.verb = 9;
    unknownVerb.path = L"/second";
    unknownVerb.tracePath = path.c_str();
    ASSERT_TRUE(network.WebService(unknownVerb));
    const std::string both = ReadWhole(path);

    ASSERT_EQ(both.substr(0, first.size()), first);
    ExpectRecord(first, "\r\n" + Milliseconds(post) + "POST (port=" + Port() + ") SECURED\r\n" +
                            "localhost/traced?n=1\r\n\r\n" + "name=\xC3\x85sa\r\n\r\n" +
                            Narrow(post.responseHeaders) + "\r\n" + "answer to /traced?n=1\r\n\r\n");
    EXPECT_EQ(Narrow(post.responseHeaders).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    // No verb text for an unknown verb, and no body piece for an empty body.
    ExpectRecord(both.substr(first.size()),
                 "\r\n" + Milliseconds(unknownVerb) + std::to_string(TestServer::Port("http")) +
                     ") NOT SECURED\r\n" + "localhost/second\r\n\r\n" + "\r\n" + "answer to /second\r\n\r\n");
}

TEST(WebServiceTrace, CutAnswerIsTracedWithWhatArrived)
{
    const TempFolder folder(L"tarmesh-trace");
    const std::wstring path = folder.Path() + L"trace.txt";
    Network network;
    WebServiceRequest request;
    request.host = L"localhost";
    request.port = TestServer::Port("https");
    request.verb = WebServiceRequest::Delete;
    request.path = L"/cut?truncated=1";
    request.tracePath = path.c_str();
    ASSERT_FALSE(network.WebService(request));
    ExpectRecord(ReadWhole(path), "\r\n" + Milliseconds(request) + "DELETE (port=" + Port() + ") SECURED\r\n" +
                                      "localhost/cut?truncated=1\r\n\r\n" + "\r\n" + "0123456789\r\n\r\n");
}

TEST(WebServiceTrace, NoFileWithoutATracePathOrWithAMissingFolder)
{
    const TempFolder folder(L"tarmesh-trace");
    Network network;
    WebServiceRequest request;
    request.host = L"localhost";
    request.port = TestServer::Port("https");
    request.path = L"/untraced";
    ASSERT_TRUE(network.WebService(request));
    request.tracePath = (folder.Path() + L"missing\\trace.txt").c_str();
    ASSERT_TRUE(network.WebService(request));

    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder.Path() + L"*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            entries += found.cFileName[0] != L'.';
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(entries, 0);
}

namespace {

struct TracedRequest
{
    Lock* lock;
    std::wstring path;
    bool result = false;
};

DWORD WINAPI RunTracedRequest(void* parameter)
{
    TracedRequest& traced = *static_cast<TracedRequest*>(parameter);
    Network network;
    WebServiceRequest request;
    request.lock = traced.lock;
    request.host = L"localhost";
    request.port = TestServer::Port("https");
    request.path = L"/locked";
    request.tracePath = traced.path.c_str();
    traced.result = network.WebService(request);
    return 0;
}

}  // namespace

TEST(WebServiceTrace, RecordWaitsWhileAnotherThreadHoldsTheRootLock)
{
    const TempFolder folder(L"tarmesh-trace");
    Lock root;
    Lock child(&root);
    TracedRequest traced{&child, folder.Path() + L"trace.txt"};
    HANDLE thread = nullptr;
    {
        const LockHold hold(&root);
        thread = CreateThread(nullptr, 0, RunTracedRequest, &traced, 0, nullptr);
        ASSERT_NE(thread, nullptr);
        // The answer arrives; the record must still wait for the lock.
        for (int i = 0; i < 200 && !TestServer::Seen(1).found; ++i)
            Sleep(50);
        ASSERT_TRUE(TestServer::Seen(1).found);
        EXPECT_EQ(WaitForSingleObject(thread, 1000), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(GetFileAttributesW(traced.path.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    ASSERT_EQ(WaitForSingleObject(thread, 60000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(thread);
    EXPECT_TRUE(traced.result);
    EXPECT_EQ(ReadWhole(traced.path).substr(0, Banner.size()), Banner);
}
