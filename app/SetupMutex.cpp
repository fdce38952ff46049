#include "SetupMutex.h"

#include <aclapi.h>
#include <sddl.h>

#include "app/SetupLog.h"

namespace {

// A security descriptor made from SDDL, freed on every path.
class SecurityDescriptor
{
public:
    explicit SecurityDescriptor(const WString& sddl)
    {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.buffer, SDDL_REVISION_1, &descriptor, nullptr);
    }
    SecurityDescriptor(const SecurityDescriptor&) = delete;
    SecurityDescriptor& operator=(const SecurityDescriptor&) = delete;
    virtual ~SecurityDescriptor()
    {
        if (descriptor != nullptr)
            LocalFree(descriptor);
    }

    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

// True when the mutex has an owner and it is another account than the one
// `sid` names. Every setup sets the user as the owner; a mutex whose owner
// cannot be read is taken for a setup's.
bool MadeByAnotherAccount(HANDLE mutex, const WString& sid)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    LPWSTR text = nullptr;
    const bool other = owner != nullptr && ConvertSidToStringSidW(owner, &text) &&
                       CompareStringOrdinal(text, -1, sid.buffer, -1, TRUE) != CSTR_EQUAL;
    if (text != nullptr)
        LocalFree(text);
    LocalFree(descriptor);
    return other;
}

}  // namespace

SetupMutex::~SetupMutex()
{
    if (owned)
        ReleaseMutex(mutex);
    if (mutex != nullptr)
        CloseHandle(mutex);
}

bool SetupMutex::Acquire(const WString& name, const WString& owner)
{
    // Open to its owner and the system only, and the owner tells a setup's
    // mutex from a squatter's.
    SecurityDescriptor ownersOnly(L"O:" + owner + L"D:P(A;;GA;;;" + owner + L")(A;;GA;;;SY)");
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, ownersOnly.descriptor, FALSE};
    mutex = CreateMutexW(ownersOnly.descriptor != nullptr ? &attributes : nullptr, FALSE, name.buffer);
    const DWORD created = GetLastError();
    if (mutex == nullptr || (created == ERROR_ALREADY_EXISTS && MadeByAnotherAccount(mutex, owner))) {
        SetupLog::Line(L"the setup mutex " + name + L" cannot be had, or another account made it; going on without it");
        return true;
    }
    // A setup that died holding it left it abandoned: it is free again.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    return owned;
}
