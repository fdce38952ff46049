#pragma once
// STUB until the stats branch is merged.
void SendStatistic(const wchar_t* event);
