// Client side of the automation layer, header only: find a class in the class registry,
// load its module with dlopen and create the object; plus UsbControl, the KestoUsb control
// as the USB link screen uses it.
//
//   kesto::client::UsbControl usb;
//   std::string why;
//   if (FAILED(usb.create(&why)))              // not registered, module missing, ...
//       ...;
//   usb.setTransferTimeout(10000);             // optional: bound every transfer
//   if (FAILED(usb.setLinkName("ML60852A_DRIVER")))
//       show(usb.errorDescription());         // e.g. the system message for error 2
//   uint8_t buf[65] = {};
//   int32_t n = 0;
//   if (FAILED(usb.bulkTransfer(1, 64, buf, &n)))
//       show(usb.errorDescription());         // e.g. the USB status text
//
// Nothing here needs linking against libKestoUsb.so: the module is the one registered for the
// CLSID, loaded at run time.
#pragma once

#include "KestoAutomation.h"
#include "KestoRegistry.h"

#include <dlfcn.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

namespace kesto::client {

inline std::string guidText(const GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

inline bool parseGuid(const std::string &text, GUID *out)
{
    unsigned a, b, c, d[8];
    if (text.size() != 38
        || std::sscanf(text.c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &a, &b, &c, &d[0], &d[1], &d[2], &d[3],
                       &d[4], &d[5], &d[6], &d[7])
               != 11)
        return false;
    out->Data1 = a;
    out->Data2 = static_cast<uint16_t>(b);
    out->Data3 = static_cast<uint16_t>(c);
    for (int i = 0; i < 8; ++i)
        out->Data4[i] = static_cast<uint8_t>(d[i]);
    return true;
}

// The module registered for a class (InprocServer32), empty when the class is not registered.
inline std::string registeredModule(const GUID &clsid)
{
    reg::Registry r;
    std::string path;
    if (!r.load(reg::registryPath()) || !r.value("CLSID\\" + guidText(clsid) + "\\InprocServer32", "", &path))
        return {};
    return path;
}

inline HRESULT clsidFromProgId(const std::string &progId, GUID *clsid)
{
    reg::Registry r;
    std::string text;
    if (!r.load(reg::registryPath()) || !r.value(progId + "\\CLSID", "", &text) || !parseGuid(text, clsid))
        return REGDB_E_CLASSNOTREG;
    return S_OK;
}

struct Module {
    void *handle = nullptr;
    HRESULT (*getClassObject)(const KESTO_GUID *, const KESTO_GUID *, void **) = nullptr;
    HRESULT (*getErrorInfo)(uint32_t, IErrorInfo **) = nullptr;
};

// Loads (once per process) the module registered for clsid.
inline HRESULT loadModule(const GUID &clsid, Module *out, std::string *error = nullptr)
{
    static std::mutex lock;
    static std::map<std::string, Module> loaded;
    const std::string path = registeredModule(clsid);
    if (path.empty()) {
        if (error)
            *error = "class " + guidText(clsid) + " is not registered in " + reg::registryPath();
        return REGDB_E_CLASSNOTREG;
    }
    std::lock_guard<std::mutex> g(lock);
    auto it = loaded.find(path);
    if (it == loaded.end()) {
        Module m;
        m.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m.handle) {
            if (error)
                *error = dlerror();
            return REGDB_E_CLASSNOTREG;
        }
        m.getClassObject = reinterpret_cast<decltype(m.getClassObject)>(dlsym(m.handle, "DllGetClassObject"));
        m.getErrorInfo = reinterpret_cast<decltype(m.getErrorInfo)>(dlsym(m.handle, "KestoGetErrorInfo"));
        if (!m.getClassObject) {
            if (error)
                *error = path + " is not an automation server";
            return CLASS_E_CLASSNOTAVAILABLE;
        }
        it = loaded.emplace(path, m).first;
    }
    *out = it->second;
    return S_OK;
}

inline HRESULT createInstance(const GUID &clsid, const GUID &iid, void **out, std::string *error = nullptr,
                              Module *module = nullptr)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    Module m;
    HRESULT hr = loadModule(clsid, &m, error);
    if (FAILED(hr))
        return hr;
    IClassFactory *factory = nullptr;
    hr = m.getClassObject(&clsid, &IID_IClassFactory, reinterpret_cast<void **>(&factory));
    if (FAILED(hr)) {
        if (error)
            *error = "the module does not serve class " + guidText(clsid);
        return hr;
    }
    hr = factory->CreateInstance(nullptr, iid, out);
    factory->Release();
    if (FAILED(hr) && error)
        *error = "the class could not be created";
    if (module)
        *module = m;
    return hr;
}

// Registers (or unregisters) the automation classes of a module, as an installer does:
// loads it and calls its DllRegisterServer / DllUnregisterServer.
inline HRESULT registerModule(const std::string &modulePath, bool unregister = false, std::string *error = nullptr)
{
    void *h = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        if (error)
            *error = dlerror();
        return SELFREG_E_CLASS;
    }
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(h, unregister ? "DllUnregisterServer" : "DllRegisterServer"));
    HRESULT hr = entry ? entry() : SELFREG_E_CLASS;
    if (FAILED(hr) && error)
        *error = modulePath + (entry ? ": registration failed" : " is not an automation server");
    return hr; // the module stays loaded: objects of it may be created next
}

// The KestoUsb control for a link screen. Failing members leave the control's error
// description (the library's text for the code) in errorDescription().
class UsbControl
{
public:
    UsbControl() = default;
    ~UsbControl()
    {
        if (m_control)
            m_control->Release();
    }
    UsbControl(const UsbControl &) = delete;
    UsbControl &operator=(const UsbControl &) = delete;

    HRESULT create(std::string *error = nullptr)
    {
        if (m_control)
            return S_OK;
        return createInstance(CLSID_KestoUsb, IID_IKestoUsb, reinterpret_cast<void **>(&m_control), error, &m_module);
    }
    bool isCreated() const { return m_control != nullptr; }
    IKestoUsb *get() const { return m_control; }

    HRESULT setLinkName(const std::string &name)
    {
        return check([&] { return m_control->put_LinkName(name); });
    }
    HRESULT setDeviceInstance(int32_t instance)
    {
        return check([&] { return m_control->put_DeviceInstance(instance); });
    }
    // 0 waits as long as the driver takes; otherwise a transfer gives up after this many
    // milliseconds with error 1460 (errorCode()) and the text "This operation returned because
    // the timeout period expired."
    HRESULT setTransferTimeout(int32_t milliseconds)
    {
        return check([&] { return m_control->put_TransferTimeout(milliseconds); });
    }
    HRESULT bulkTransfer(uint8_t endpoint, int32_t length, uint8_t *buffer, int32_t *returnLength)
    {
        return check([&] { return m_control->BulkTransfer(endpoint, length, buffer, returnLength); });
    }

    const std::string &errorDescription() const { return m_description; }
    const std::string &errorSource() const { return m_source; }
    // The library's result code behind the last failure (e.g. 1460, KESTO_ERROR_TIMEOUT, for a
    // transfer that ran out of time); 0 when the failure did not come from one.
    uint32_t errorCode() const { return m_code; }

private:
    template <typename F>
    HRESULT check(F call)
    {
        m_description.clear();
        m_source.clear();
        m_code = 0;
        if (!m_control) {
            m_description = "The KestoUsb control has not been created.";
            return E_POINTER;
        }
        HRESULT hr = call();
        if (FAILED(hr) && m_module.getErrorInfo) {
            IErrorInfo *info = nullptr;
            if (m_module.getErrorInfo(0, &info) == S_OK && info) {
                info->GetDescription(&m_description);
                info->GetSource(&m_source);
                IKestoErrorCode *code = nullptr;
                if (info->QueryInterface(IID_IKestoErrorCode, reinterpret_cast<void **>(&code)) == S_OK && code) {
                    if (code->GetCode(&m_code) != S_OK)
                        m_code = 0;
                    code->Release();
                }
                info->Release();
            }
        }
        return hr;
    }

    IKestoUsb *m_control = nullptr;
    Module m_module;
    std::string m_description, m_source;
    uint32_t m_code = 0;
};

} // namespace kesto::client
