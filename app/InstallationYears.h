#pragma once

// The Revit years this setup program serves, walked upwards by the install
// and the uninstall. They are constants of the program: the build sets them
// (TARMESH_FIRST_YEAR and TARMESH_LAST_YEAR), so a maker who ships for other
// Revit releases changes a build option, not the code, and nothing can
// change them on the user's machine.

#include <cstdint>

#if !defined(TARMESH_FIRST_YEAR) || !defined(TARMESH_LAST_YEAR)
#error "The build defines TARMESH_FIRST_YEAR and TARMESH_LAST_YEAR"
#endif

constexpr int32_t FirstInstallationYear = TARMESH_FIRST_YEAR;
constexpr int32_t LastInstallationYear = TARMESH_LAST_YEAR;
static_assert(FirstInstallationYear >= 1000 && LastInstallationYear <= 9999,
              "version folders hold a year in four digits");
static_assert(FirstInstallationYear <= LastInstallationYear, "the first year comes before the last");
