// A console program for statistic_namespace.py, which runs it where the
// statistics server's host name leads to a server on loopback:
//   statistic-probe send EVENT   reports the event
//   statistic-probe plain        a plain HTTP GET of /plain from that host
//                                on the default port; prints "result=0|1"
// Warnings of the client appear on standard output.

#include <cstdio>
#include <cwchar>

#include <windows.h>

#include "library/Library.h"
#include "stats/Network.h"
#include "stats/Statistic.h"
#include "stats/WebServiceRequest.h"

namespace {

int Run(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wcscmp(argv[1], L"send") == 0) {
        SendStatistic(argv[2]);
        return 0;
    }
    if (argc == 2 && std::wcscmp(argv[1], L"plain") == 0) {
        Network network;
        WebServiceRequest request;
        request.secure = false;
        request.host = StatisticsHost;
        request.path = L"/plain";
        std::printf("result=%d\n", network.WebService(request) ? 1 : 0);
        return 0;
    }
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Library::Start(GetModuleHandleW(nullptr));
    const int code = Run(argc, argv);
    std::fflush(stdout);
    Library::Stop();
    return code;
}
