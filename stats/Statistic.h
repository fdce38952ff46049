#pragma once

// Tells the maker's statistics server that the add-in was installed or
// uninstalled: one HTTPS POST of the event, whose answer is ignored. Every
// failure stays inside (logged by the web service client); the caller goes
// on as if the report had been sent.

#include "stats/WebServiceRequest.h"

// The statistics server's host name.
constexpr const wchar_t* StatisticsHost = L"stats.ostrel.com";

// Limit of each step of the report (resolving, connecting, sending,
// receiving), so a server that never answers delays the setup by seconds,
// not the client's default hours.
constexpr int StatisticTimeoutMs = 15000;

// The whole report, however the server answers, ends within this time: a
// server that trickles its answer must not freeze the setup window.
constexpr int StatisticTotalTimeoutMs = 20000;

// Of the answer, which nothing reads, no more than this is taken in: a
// server that floods must not exhaust the setup program's memory.
constexpr int StatisticResponseLimit = 64 * 1024;

// The report's request for `event`, as SendStatistic sends it.
[[nodiscard]] WebServiceRequest StatisticRequest(const wchar_t* event);

// `event` is "install" or "uninstall", sent as the last part of the path.
void SendStatistic(const wchar_t* event);
