// STUB until the stats branch is merged.
#include "stats/Statistic.h"
void SendStatistic(const wchar_t*) {}
