/* A stranger's library, copied beside a program under the name of a system
   library. Whenever a process loads it, it leaves "<its own path>.ran"
   beside itself, so a test sees which copy ran, and then refuses to load:
   it has none of the system library's functions, and a program that
   cannot start fails its test at once instead of crashing in a call. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 8] = {0};
        const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(path, L".ran");
            HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
            if (marker != INVALID_HANDLE_VALUE)
                CloseHandle(marker);
        }
        return FALSE;
    }
    return TRUE;
}
