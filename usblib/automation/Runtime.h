// The inside of the automation layer: reference counting, error records, argument
// conversion for Invoke, and the classes' creation functions.
#pragma once

#include "KestoAutomation.h"

#include <atomic>
#include <string>

namespace kesto::com {

// Objects and server locks alive in this module; DllCanUnloadNow answers from them.
extern std::atomic<long> g_objects;
extern std::atomic<long> g_locks;

// Leaves an error record for the calling thread and returns DISP_E_EXCEPTION.
HRESULT reportError(const std::string &description, const char *source);
// The same with the text for a result code: the string table's text for a USB status code,
// otherwise the system's message.
HRESULT reportResult(uint32_t code, const char *source);
// Moves the thread's error record into an Invoke caller's exception record.
HRESULT finishInvoke(HRESULT hr, ExcepInfo *exception);

extern const char *const kControlSource;     // "UserDll.KestoUsb.1"
extern const char *const kIsochronousSource; // "UserDll.IsochronousTransfer.1"

// Reference counting and QueryInterface for one interface derived from IDispatch.
template <typename Interface>
class Object : public Interface
{
public:
    explicit Object(const GUID &iid) : m_iid(iid) { ++g_objects; }
    virtual ~Object() { --g_objects; }

    HRESULT QueryInterface(const GUID &iid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_iid) {
            *out = static_cast<Interface *>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++m_refs; }
    uint32_t Release() override
    {
        uint32_t n = --m_refs;
        if (n == 0)
            delete this;
        return n;
    }

private:
    std::atomic<uint32_t> m_refs{1};
    GUID m_iid;
};

// Argument conversion for Invoke: plain values and by-reference values of the usual types.
bool argI4(const Variant &v, int32_t *out);
bool argI2(const Variant &v, int16_t *out);
bool argUI1(const Variant &v, uint8_t *out);
bool argStr(const Variant &v, std::string *out);
bool argObject(const Variant &v, const GUID &iid, void **out); // AddRefs; caller releases
template <typename T>
T *argRef(const Variant &v, uint16_t type)
{
    return v.vt == (type | VT_BYREF) ? static_cast<T *>(v.ref) : nullptr;
}
// Writes an out argument given by reference (VT_I4 / VT_I2 / VT_UI1 / VT_I8).
bool setOut(const Variant &v, int64_t value);

struct NameId {
    const char *name;
    DISPID id;
};
HRESULT lookupName(const NameId *table, size_t count, const std::string &name, DISPID *id);

// Creation functions of the six classes (reference count 1).
IDispatch *createControl();
IDispatch *createDeviceDescriptor();
IDispatch *createConfigurationDescriptor();
IDispatch *createInterfaceDescriptor();
IDispatch *createEndpointDescriptor();
IDispatch *createIsochronousTransfer();

} // namespace kesto::com
