#include "Statistic.h"

#include "host/WindowsVersion.h"
#include "stats/Network.h"
#include "stats/WebServiceRequest.h"

WebServiceRequest StatisticRequest(const wchar_t* event)
{
    WebServiceRequest request;
    request.userAgent = L"Ostrel/1.0 (Windows NT " + GetWindowsVersion() + L")";
    request.secure = true;
    request.verb = WebServiceRequest::Post;
    request.host = StatisticsHost;
    request.path = WString(L"api/statistic/tarmesh/") + event;
    request.headers = L"x-tarmesh-token: 7K4418HdvPqm";
    request.body = L"version=1.0.0";
    request.resolveTimeout = StatisticTimeoutMs;
    request.connectTimeout = StatisticTimeoutMs;
    request.sendTimeout = StatisticTimeoutMs;
    request.receiveTimeout = StatisticTimeoutMs;
    request.totalTimeout = StatisticTotalTimeoutMs;
    request.responseLimit = StatisticResponseLimit;
    return request;
}

void SendStatistic(const wchar_t* event)
{
    Network network;
    WebServiceRequest request = StatisticRequest(event);
    // The answer, and whether there was one, changes nothing for the setup.
    static_cast<void>(network.WebService(request));
}
