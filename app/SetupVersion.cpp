#include "SetupVersion.h"

#include "setup-version.h"

const wchar_t* SetupVersion()
{
    return SETUP_VERSION;
}
