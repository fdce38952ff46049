#pragma once

// Tells the maker's statistics server that the add-in was installed or
// uninstalled: one HTTPS POST of the event, whose answer is ignored. Every
// failure stays inside (logged by the web service client); the caller goes
// on as if the report had been sent.

// The statistics server's host name.
constexpr const wchar_t* StatisticsHost = L"stats.ostrel.com";

// Limit of each step of the report (resolving, connecting, sending,
// receiving), so a server that never answers delays the setup by seconds,
// not the client's default hours.
constexpr int StatisticTimeoutMs = 15000;

// `event` is "install" or "uninstall", sent as the last part of the path.
void SendStatistic(const wchar_t* event);
