#include "platform/windows/WindowsFirewall.h"

#include <QCoreApplication>
#include <QDir>

#include <windows.h>

// The firewall's class and interface identifiers are defined here: mingw's
// import library of identifiers does not carry them.
#include <initguid.h>

#include <netfw.h>
#include <oleauto.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace {

// COM for the thread while a routine runs. Uninitialised again whenever the
// initialisation counted, also when COM was initialised already (S_FALSE), so
// the thread's COM state is the same afterwards.
class TComScope {
public:
    TComScope() : FCounted(SUCCEEDED(::CoInitialize(nullptr))) {}
    ~TComScope() {
        if (FCounted)
            ::CoUninitialize();
    }
    TComScope(const TComScope&) = delete;
    TComScope& operator=(const TComScope&) = delete;

private:
    const bool FCounted;
};

class TBstr {
public:
    explicit TBstr(const QString& text) : FValue(::SysAllocString(reinterpret_cast<const OLECHAR*>(text.utf16()))) {}
    ~TBstr() { ::SysFreeString(FValue); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    operator BSTR() const { return FValue; }

private:
    BSTR FValue;
};

// What the firewall shows for this program.
struct TEntryTexts {
    TBstr path{QDir::toNativeSeparators(QCoreApplication::applicationFilePath())};
    TBstr name{QStringLiteral("Palavero")};
};

template <typename T> HRESULT create(REFCLSID classId, REFIID interfaceId, ComPtr<T>& object) {
    return ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, interfaceId,
                              reinterpret_cast<void**>(object.ReleaseAndGetAddressOf()));
}

// The current profile of the local firewall policy, or null.
ComPtr<INetFwProfile> currentProfile() {
    ComPtr<INetFwMgr> manager;
    ComPtr<INetFwPolicy> policy;
    ComPtr<INetFwProfile> profile;
    if (SUCCEEDED(create(CLSID_NetFwMgr, IID_INetFwMgr, manager)) && SUCCEEDED(manager->get_LocalPolicy(&policy)) &&
        policy && FAILED(policy->get_CurrentProfile(&profile)))
        profile.Reset();
    return profile;
}

// The profile's allowed programs; the status of the read (a failure also when nothing came).
HRESULT allowedPrograms(INetFwProfile& profile, ComPtr<INetFwAuthorizedApplications>& programs) {
    const HRESULT status = profile.get_AuthorizedApplications(&programs);
    return FAILED(status) || programs ? status : E_POINTER;
}

// The entry for this program, made and given its path and name, each step
// only after the one before succeeded; the status of the last step made.
HRESULT makeEntry(const TEntryTexts& texts, ComPtr<INetFwAuthorizedApplication>& entry) {
    HRESULT status = create(CLSID_NetFwAuthorizedApplication, IID_INetFwAuthorizedApplication, entry);
    if (SUCCEEDED(status))
        status = entry->put_ProcessImageFileName(texts.path);
    if (SUCCEEDED(status))
        status = entry->put_Name(texts.name);
    return status;
}

} // namespace

std::int32_t TWindowsFirewall::probeException() {
    const TEntryTexts texts;
    const TComScope com; // declared before the interfaces: they are released first
    const ComPtr<INetFwProfile> profile = currentProfile();
    if (!profile)
        return kFail;
    ComPtr<INetFwAuthorizedApplications> programs;
    HRESULT status = allowedPrograms(*profile.Get(), programs);
    if (FAILED(status))
        return status;
    ComPtr<IUnknown> enumerator;
    status = programs->get__NewEnum(&enumerator);
    if (status == S_OK && !enumerator)
        status = E_POINTER;
    if (status != S_OK) {
        reportMessage(QStringLiteral("Failed to get enumerator for Authorized Applications "));
        return status;
    }
    ComPtr<IEnumVARIANT> variants;
    status = enumerator.As(&variants);
    if (status != S_OK) {
        reportMessage(status == E_NOINTERFACE
                          ? QStringLiteral("Failed to QueryInterface for trusted applications. Interface not supported.")
                          : QStringLiteral("Failed to QueryInterface for trusted applications."));
        return status;
    }
    ComPtr<INetFwAuthorizedApplication> entry;
    return makeEntry(texts, entry);
}

std::int32_t TWindowsFirewall::addException() {
    const TEntryTexts texts;
    const TComScope com;
    const ComPtr<INetFwProfile> profile = currentProfile();
    if (!profile)
        return kFail;
    ComPtr<INetFwAuthorizedApplications> programs;
    ComPtr<INetFwAuthorizedApplication> entry;
    HRESULT status = allowedPrograms(*profile.Get(), programs);
    if (SUCCEEDED(status))
        status = makeEntry(texts, entry);
    if (SUCCEEDED(status))
        status = programs->Add(entry.Get());
    return status;
}
