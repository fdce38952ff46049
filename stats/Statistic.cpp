#include "Statistic.h"

#include <windows.h>

#include "host/WindowsVersion.h"
#include "library/Log.h"
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

namespace {

// A library of System32, loaded for as long as the owner lives.
class SystemLibrary
{
public:
    explicit SystemLibrary(const wchar_t* name) : module(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;
    virtual ~SystemLibrary()
    {
        if (module != nullptr)
            FreeLibrary(module);
    }

    [[nodiscard]] bool Loaded() const { return module != nullptr; }

private:
    HMODULE module;
};

}  // namespace

void SendStatistic(const wchar_t* event)
{
    // WinHTTP and WinMM are loaded at their first call; on a cut-down
    // Windows without them that call would end the process with an
    // exception, after everything was installed and before anyone was told.
    const SystemLibrary winhttp(L"winhttp.dll");
    const SystemLibrary winmm(L"winmm.dll");
    if (!winhttp.Loaded() || !winmm.Loaded()) {
        Warn(L"statistic not sent: WinHTTP or WinMM cannot be loaded from System32");
        return;
    }
    Network network;
    WebServiceRequest request = StatisticRequest(event);
    // The answer, and whether there was one, changes nothing for the setup.
    static_cast<void>(network.WebService(request));
}
