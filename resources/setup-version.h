#pragma once
#define SETUP_VERSION S("")
// The package build writes the first two lines from the add-in's
// AssemblyVersion attribute and keeps everything below them.
#define S(text) L##text
