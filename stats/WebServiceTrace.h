#pragma once

// The trace file of the web service client: one plain-text record per
// traced request, appended after its answer was read (or reading failed):
//
//   ****   W E B   S E R V I C E   ****
//   ***********************************
//   <blank line>
//   2026/12/08 04:42:17
//   <endTime - startTime> milliseconds
//   POST (port=0) SECURED                 verb, port field, NOT SECURED
//   <host><path>
//   <blank line>
//   <body>, then a blank line             only for a non-empty body
//   <response headers as received>
//   <response>
//   <blank line>
//
// Lines end in CR LF; wide texts are written as UTF-8. The record is
// written under the request's lock when it has one, so records of
// requests sharing a lock never interleave. Every failure is silent.

#include "library/TString.h"

struct WebServiceRequest;

void WriteWebServiceTrace(const WString& tracePath, const WebServiceRequest& request);

// The local date and time as "2026/12/08 04:42:17".
[[nodiscard]] WString CurrentDateText();
