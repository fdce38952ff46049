#pragma once

// An ordered list of individually allocated wide strings, owned by whoever
// holds the list. Folder listings fill one; their users search it and
// release it with FreeStringList.

#include <cstdint>
#include <vector>

#include "TString.h"

using StringList = std::vector<WString*>;

// Destroys every element, first to last, and leaves the list empty. A null
// list is ignored.
void FreeStringList(StringList* list);

// The index of the first element equal to `text` (exact, case counts), or -1.
int32_t IndexOf(const StringList& list, const wchar_t* text);

// Destroys the element at `index` and closes the gap; any other index
// changes nothing.
void RemoveAt(StringList& list, int32_t index);

// Owns a StringList for the length of a scope.
class OwnedStringList
{
public:
    OwnedStringList() = default;
    OwnedStringList(const OwnedStringList&) = delete;
    OwnedStringList& operator=(const OwnedStringList&) = delete;
    virtual ~OwnedStringList() { FreeStringList(&items); }

    StringList items;
};
