#include "WebServiceTrace.h"

#include <windows.h>

#include "library/Date.h"
#include "library/File.h"
#include "stats/Lock.h"
#include "stats/WebServiceRequest.h"

namespace {

const char* VerbLead(uint32_t verb)
{
    static const char* const leads[] = {"GET (port=", "POST (port=", "DELETE (port=", "PUT (port="};
    return verb < 4 ? leads[verb] : "";
}

void WriteRecord(File& file, const WebServiceRequest& request)
{
    file.WriteText("****   W E B   S E R V I C E   ****\r\n");
    file.WriteText("***********************************\r\n\r\n");
    file.WriteUtf8Text(CurrentDateText());
    file.WriteText("\r\n");
    file.WriteText(NString(static_cast<int32_t>(request.endTime - request.startTime)));
    file.WriteText(" milliseconds\r\n");
    file.WriteText(VerbLead(request.verb));
    file.WriteText(NString(static_cast<int32_t>(request.port)));
    file.WriteText(request.secure ? ") SECURED\r\n" : ") NOT SECURED\r\n");
    file.WriteUtf8Text(request.host + request.path);
    file.WriteText("\r\n\r\n");
    if (request.body.length > 0) {
        file.WriteUtf8Text(request.body);
        file.WriteText("\r\n\r\n");
    }
    file.WriteUtf8Text(request.responseHeaders);
    file.WriteText("\r\n");
    file.WriteUtf8Text(request.response);
    file.WriteText("\r\n\r\n");
}

}  // namespace

void WriteWebServiceTrace(const WString& tracePath, const WebServiceRequest& request)
{
    const LockHold hold(request.lock);
    File file;
    if (!file.Open(tracePath, true, false))
        return;
    WriteRecord(file, request);
}

WString CurrentDateText()
{
    return Date::Now().Format(L"#Y/#+M/#+D #+h:#+m:#+s");
}
