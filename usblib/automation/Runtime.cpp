// Error records, class factories, registration and the server entry points.

#include "Runtime.h"

#include "Internal.h"
#include "KestoRegistry.h"

#include <dlfcn.h>

#include <climits>
#include <cstring>

namespace kesto::com {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

const char *const kControlSource = "UserDll.KestoUsb.1";
const char *const kIsochronousSource = "UserDll.IsochronousTransfer.1";

namespace {

class ErrorRecord final : public IErrorInfo, public IKestoErrorCode
{
public:
    ErrorRecord(std::string description, std::string source, uint32_t code = 0, bool hasCode = false)
        : m_description(std::move(description)), m_source(std::move(source)), m_code(code), m_hasCode(hasCode)
    {
    }
    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IErrorInfo) {
            *out = static_cast<IErrorInfo *>(this);
            AddRef();
            return S_OK;
        }
        if (iid == IID_IKestoErrorCode) {
            *out = static_cast<IKestoErrorCode *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetCode(uint32_t *code) override
    {
        if (!code)
            return E_POINTER;
        *code = m_code;
        return m_hasCode ? S_OK : S_FALSE;
    }
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override
    {
        uint32_t n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT GetDescription(std::string *d) override
    {
        if (!d)
            return E_POINTER;
        *d = m_description;
        return S_OK;
    }
    HRESULT GetSource(std::string *s) override
    {
        if (!s)
            return E_POINTER;
        *s = m_source;
        return S_OK;
    }
    HRESULT GetGUID(GUID *g) override
    {
        if (!g)
            return E_POINTER;
        *g = GUID_NULL; // errors are not tied to one interface
        return S_OK;
    }

private:
    ~ErrorRecord() = default;
    std::atomic<uint32_t> m_refs{1};
    std::string m_description, m_source;
    uint32_t m_code;
    bool m_hasCode;
};

thread_local ErrorRecord *t_error = nullptr;

void setError(ErrorRecord *e)
{
    if (t_error)
        t_error->Release();
    t_error = e;
}

} // namespace

HRESULT reportError(const std::string &description, const char *source)
{
    setError(new ErrorRecord(description, source));
    return DISP_E_EXCEPTION;
}

HRESULT reportResult(uint32_t code, const char *source)
{
    setError(new ErrorRecord(resultDescription(code), source, code, true));
    return DISP_E_EXCEPTION;
}

HRESULT finishInvoke(HRESULT hr, ExcepInfo *exception)
{
    if (hr == DISP_E_EXCEPTION && exception) {
        exception->scode = DISP_E_EXCEPTION;
        if (t_error) {
            t_error->GetDescription(&exception->description);
            t_error->GetSource(&exception->source);
            setError(nullptr);
        }
    }
    return hr;
}

namespace {

bool plainNumber(const Variant &v, int64_t *out)
{
    switch (v.vt) {
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_BOOL:
    case VT_I8: *out = v.num; return true;
    case VT_I2 | VT_BYREF: *out = *static_cast<int16_t *>(v.ref); return v.ref != nullptr;
    case VT_I4 | VT_BYREF: *out = *static_cast<int32_t *>(v.ref); return v.ref != nullptr;
    case VT_UI1 | VT_BYREF: *out = *static_cast<uint8_t *>(v.ref); return v.ref != nullptr;
    default: return false;
    }
}

} // namespace

bool argI4(const Variant &v, int32_t *out)
{
    int64_t n;
    if (!plainNumber(v, &n) || n < INT32_MIN || n > UINT32_MAX)
        return false;
    *out = static_cast<int32_t>(n);
    return true;
}

bool argI2(const Variant &v, int16_t *out)
{
    int64_t n;
    if (!plainNumber(v, &n) || n < INT16_MIN || n > UINT16_MAX)
        return false;
    *out = static_cast<int16_t>(n);
    return true;
}

bool argUI1(const Variant &v, uint8_t *out)
{
    int64_t n;
    if (!plainNumber(v, &n) || n < 0 || n > 255)
        return false;
    *out = static_cast<uint8_t>(n);
    return true;
}

bool argStr(const Variant &v, std::string *out)
{
    if (v.vt == VT_BSTR) {
        *out = v.str;
        return true;
    }
    if (v.vt == (VT_BSTR | VT_BYREF) && v.ref) {
        *out = *static_cast<std::string *>(v.ref);
        return true;
    }
    return false;
}

bool argObject(const Variant &v, const GUID &iid, void **out)
{
    IDispatch *d = nullptr;
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN)
        d = v.obj;
    else if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ref)
        d = *static_cast<IDispatch **>(v.ref);
    return d && SUCCEEDED(d->QueryInterface(iid, out));
}

bool setOut(const Variant &v, int64_t value)
{
    if (!v.ref || !(v.vt & VT_BYREF))
        return false;
    switch (v.vt & ~VT_BYREF) {
    case VT_I4: *static_cast<int32_t *>(v.ref) = static_cast<int32_t>(value); return true;
    case VT_I2: *static_cast<int16_t *>(v.ref) = static_cast<int16_t>(value); return true;
    case VT_UI1: *static_cast<uint8_t *>(v.ref) = static_cast<uint8_t>(value); return true;
    case VT_I8: *static_cast<int64_t *>(v.ref) = value; return true;
    default: return false;
    }
}

HRESULT lookupName(const NameId *table, size_t count, const std::string &name, DISPID *id)
{
    if (!id)
        return E_POINTER;
    for (size_t i = 0; i < count; ++i) {
        if (reg::lower(table[i].name) == reg::lower(name)) {
            *id = table[i].id;
            return S_OK;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

namespace {

using Creator = IDispatch *(*)();

class Factory final : public IClassFactory
{
public:
    explicit Factory(Creator create) : m_create(create) {}
    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Factories live as long as the module; a reference held by a client keeps it loaded.
    uint32_t AddRef() override { return static_cast<uint32_t>(++g_locks); }
    uint32_t Release() override { return static_cast<uint32_t>(--g_locks); }
    HRESULT CreateInstance(IUnknown *outer, const GUID &iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IDispatch *obj = m_create();
        if (!obj)
            return E_OUTOFMEMORY;
        HRESULT hr = obj->QueryInterface(iid, out);
        obj->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override
    {
        lock ? ++g_locks : --g_locks;
        return S_OK;
    }

private:
    Creator m_create;
};

struct ClassEntry {
    const GUID *clsid;
    const GUID *iid;
    const char *name;        // class name
    const char *description; // default value of its keys
    Creator create;
    bool control;
};

const ClassEntry kClasses[] = {
    {&CLSID_KestoUsb, &IID_IKestoUsb, "KestoUsb", "KestoUsb Class", createControl, true},
    {&CLSID_DeviceDescriptor, &IID_IDeviceDescriptor, "DeviceDescriptor", "DeviceDescriptor Class",
     createDeviceDescriptor, false},
    {&CLSID_ConfigurationDescriptor, &IID_IConfigurationDescriptor, "ConfigurationDescriptor",
     "ConfigurationDescriptor Class", createConfigurationDescriptor, false},
    {&CLSID_EndpointDescriptor, &IID_IEndpointDescriptor, "EndpointDescriptor", "EndpointDescriptor Class",
     createEndpointDescriptor, false},
    {&CLSID_InterfaceDescriptor, &IID_IInterfaceDescriptor, "InterfaceDescriptor", "InterfaceDescriptor Class",
     createInterfaceDescriptor, false},
    {&CLSID_IsochronousTransfer, &IID_IIsochronousTransfer, "IsochronousTransfer", "IsochronousTransfer Class",
     createIsochronousTransfer, false},
};

Factory g_factories[] = {Factory(createControl),
                         Factory(createDeviceDescriptor),
                         Factory(createConfigurationDescriptor),
                         Factory(createEndpointDescriptor),
                         Factory(createInterfaceDescriptor),
                         Factory(createIsochronousTransfer)};

// As the type library's registration writes it.
const char *const kTypeLibText = "{A5914451-1A00-11d4-A1C3-00600837FC57}";

std::string modulePath()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void *>(&DllRegisterServer), &info) || !info.dli_fname)
        return {};
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

} // namespace

} // namespace kesto::com

using namespace kesto;
using namespace kesto::com;

extern "C" {

HRESULT KestoGetErrorInfo(uint32_t /*reserved*/, IErrorInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = t_error; // ownership passes to the caller
    t_error = nullptr;
    return *info ? S_OK : S_FALSE;
}

HRESULT DllGetClassObject(const KESTO_GUID *clsid, const KESTO_GUID *iid, void **out)
{
    if (!clsid || !iid || !out)
        return E_POINTER;
    *out = nullptr;
    for (size_t i = 0; i < std::size(kClasses); ++i)
        if (*kClasses[i].clsid == *clsid)
            return g_factories[i].QueryInterface(*iid, out);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DllCanUnloadNow(void) { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

HRESULT DllRegisterServer(void)
{
    const std::string module = modulePath();
    if (module.empty())
        return SELFREG_E_CLASS;
    const std::string file = reg::registryPath();
    reg::RegistryLock lock(file);
    reg::Registry r;
    if (!r.load(file))
        return SELFREG_E_CLASS;
    for (const ClassEntry &c : kClasses) {
        const std::string clsid = guidToString(*c.clsid);
        const std::string progId = std::string("UserDll.") + c.name;
        const std::string versioned = progId + ".1";
        const std::string key = "CLSID\\" + clsid;
        r.setValue(versioned, "", c.description);
        r.setValue(versioned + "\\CLSID", "", clsid);
        if (c.control)
            r.createKey(versioned + "\\Insertable");
        r.setValue(progId, "", c.description);
        r.setValue(progId + "\\CLSID", "", clsid);
        r.setValue(progId + "\\CurVer", "", versioned);
        r.removeTree(key); // written afresh, as a forced key is
        r.setValue(key, "", c.description);
        r.setValue(key + "\\ProgID", "", versioned);
        r.setValue(key + "\\VersionIndependentProgID", "", progId);
        r.createKey(key + "\\Programmable");
        r.setValue(key + "\\InprocServer32", "", module);
        r.setValue(key + "\\InprocServer32", "ThreadingModel", "Apartment");
        if (c.control) {
            r.createKey(key + "\\Control");
            r.createKey(key + "\\Insertable");
            r.setValue(key + "\\ToolboxBitmap32", "", module + ", 102");
            r.setValue(key + "\\MiscStatus", "", "0");
            r.setValue(key + "\\MiscStatus\\1", "", "132497");
        }
        r.setValue(key + "\\TypeLib", "", kTypeLibText);
        if (c.control)
            r.setValue(key + "\\Version", "", "1.0");
        // The type library's part: the interface and where its description lives.
        const std::string itf = "Interface\\" + guidToString(*c.iid);
        r.setValue(itf, "", std::string("I") + c.name);
        r.setValue(itf + "\\TypeLib", "", guidToString(LIBID_KESTOUSBLib));
        r.setValue(itf + "\\TypeLib", "Version", "1.0");
    }
    const std::string lib = "TypeLib\\" + guidToString(LIBID_KESTOUSBLib) + "\\1.0";
    r.setValue(lib, "", "Kesto-Usb ActiveX Control");
    r.setValue(lib + "\\0\\linux", "", module);
    r.setValue(lib + "\\FLAGS", "", "0");
    r.setValue(lib + "\\HELPDIR", "", module.substr(0, module.rfind('/')));
    return r.save(file) ? S_OK : SELFREG_E_CLASS;
}

HRESULT DllUnregisterServer(void)
{
    const std::string file = reg::registryPath();
    reg::RegistryLock lock(file);
    reg::Registry r;
    if (!r.load(file))
        return SELFREG_E_CLASS;
    for (const ClassEntry &c : kClasses) {
        r.removeTree("CLSID\\" + guidToString(*c.clsid));
        r.removeTree("Interface\\" + guidToString(*c.iid));
    }
    r.removeTree("TypeLib\\" + guidToString(LIBID_KESTOUSBLib));
    return r.save(file) ? S_OK : SELFREG_E_CLASS;
}

} // extern "C"
