#include "StringList.h"

#include <cwchar>

void FreeStringList(StringList* list)
{
    if (list == nullptr)
        return;
    for (WString* item : *list)
        delete item;
    list->clear();
}

int32_t IndexOf(const StringList& list, const wchar_t* text)
{
    const wchar_t* wanted = text != nullptr ? text : L"";
    for (size_t i = 0; i < list.size(); ++i) {
        const WString* item = list[i];
        if (item == nullptr)
            continue;
        const wchar_t* itemText = item->buffer != nullptr ? item->buffer : L"";
        if (std::wcscmp(itemText, wanted) == 0)
            return static_cast<int32_t>(i);
    }
    return -1;
}

void RemoveAt(StringList& list, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= list.size())
        return;
    delete list[index];
    list.erase(list.begin() + index);
}
