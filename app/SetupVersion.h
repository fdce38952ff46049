#pragma once

// The product version, "1.0.0" for an add-in whose AssemblyVersion is
// 1.0.0.0: written into the build's version header when the package is made.
const wchar_t* SetupVersion();
