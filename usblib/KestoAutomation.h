// The automation side of KestoUsb: a small object model in the manner of the platform the
// classes were first written for. Objects are reference counted and reached through
// QueryInterface; every member returns an HRESULT and can be called directly through its
// interface or late-bound through IDispatch::Invoke(DISPID, arguments). A failing member
// returns DISP_E_EXCEPTION and leaves an error record (description, source, GUID) that the
// module's KestoGetErrorInfo hands out.
//
// Clients create classes by CLSID through the class registry (see KestoClient.h); they share
// these declarations with the library and must be built with the same C++ toolchain.
#pragma once

#include "KestoUsb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kesto {

using GUID = KESTO_GUID;
using HRESULT = int32_t;
using DISPID = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000E);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

inline bool FAILED(HRESULT hr) { return hr < 0; }
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

inline bool operator==(const GUID &a, const GUID &b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}

// Identifiers.
constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IErrorInfo = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
constexpr GUID IID_IKestoErrorCode = {0x9F1555CD, 0x4BAA, 0x4B02, {0x9C, 0x8B, 0xD6, 0x26, 0x3C, 0xCC, 0x5A, 0x5F}};

constexpr GUID LIBID_KESTOUSBLib = {0xA5914451, 0x1A00, 0x11D4, {0xA1, 0xC3, 0x00, 0x60, 0x08, 0x37, 0xFC, 0x57}};

constexpr GUID CLSID_KestoUsb = {0xB5463437, 0x6971, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IKestoUsb = {0xB5463436, 0x6971, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID CLSID_DeviceDescriptor = {0x91D9A224, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IDeviceDescriptor = {0x91D9A223, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID CLSID_ConfigurationDescriptor = {
    0x91D9A226, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IConfigurationDescriptor = {
    0x91D9A225, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID CLSID_EndpointDescriptor = {
    0x91D9A228, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IEndpointDescriptor = {0x91D9A227, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID CLSID_InterfaceDescriptor = {
    0x91D9A22A, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IInterfaceDescriptor = {
    0x91D9A229, 0x69A4, 0x11D4, {0x81, 0x6D, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID CLSID_IsochronousTransfer = {
    0xADA523D6, 0x802A, 0x11D4, {0x81, 0x74, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};
constexpr GUID IID_IIsochronousTransfer = {
    0xADA523D5, 0x802A, 0x11D4, {0x81, 0x74, 0x00, 0x50, 0xDA, 0xCE, 0xAA, 0x4B}};

// Enumerations of the type library.
enum REQUEST_TYPE : int32_t { REQUEST_TYPE_VENDOR = 64, REQUEST_TYPE_CLASS = 32 };
enum REQUEST_RECIPIENT : int32_t {
    REQUEST_TYPE_DEVICE = 0,
    REQUEST_TYPE_INTERFACE = 1,
    REQUEST_TYPE_ENDPOINT = 2,
    REQUEST_TYPE_OTHER = 3
};

// Standard USB descriptor records, as the hidden descriptor setters take them.
#pragma pack(push, 1)
struct DEVICE_DESCRIPTOR {
    uint8_t bLength, bDescriptorType;
    uint16_t bcdUSB;
    uint8_t bDeviceClass, bDeviceSubClass, bDeviceProtocol, bMaxPacketSize0;
    uint16_t idVendor, idProduct, bcdDevice;
    uint8_t iManufacturer, iProduct, iSerialNumber, bNumConfigurations;
};
struct CONFIGURATION_DESCRIPTOR {
    uint8_t bLength, bDescriptorType;
    uint16_t wTotalLength;
    uint8_t bNumInterfaces, bConfigurationValue, iConfiguration, bmAttributes, MaxPower;
};
struct INTERFACE_DESCRIPTOR {
    uint8_t bLength, bDescriptorType, bInterfaceNumber, bAlternateSetting, bNumEndpoints, bInterfaceClass,
        bInterfaceSubClass, bInterfaceProtocol, iInterface;
};
struct ENDPOINT_DESCRIPTOR {
    uint8_t bLength, bDescriptorType, bEndpointAddress, bmAttributes;
    uint16_t wMaxPacketSize;
    uint8_t bInterval;
};
#pragma pack(pop)
static_assert(sizeof(DEVICE_DESCRIPTOR) == 18 && sizeof(CONFIGURATION_DESCRIPTOR) == 9
              && sizeof(INTERFACE_DESCRIPTOR) == 9 && sizeof(ENDPOINT_DESCRIPTOR) == 7);

// ---- late binding ----

enum VARTYPE : uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_BOOL = 11,
    VT_UNKNOWN = 13,
    VT_UI1 = 17,
    VT_I8 = 20,
    VT_BYREF = 0x4000
};

struct IDispatch;

// One argument or result of Invoke. By-reference arguments (vt | VT_BYREF) point at the
// caller's storage, which the member reads and writes.
struct Variant {
    uint16_t vt = VT_EMPTY;
    int64_t num = 0;          // VT_I2, VT_I4, VT_UI1, VT_BOOL (-1 true), VT_I8 (addresses)
    std::string str;          // VT_BSTR, UTF-8
    IDispatch *obj = nullptr; // VT_DISPATCH, not owned
    void *ref = nullptr;      // by reference: uint8_t*, int16_t*, int32_t*, int64_t*, std::string*, IDispatch**

    static Variant i4(int32_t v)
    {
        Variant x;
        x.vt = VT_I4;
        x.num = v;
        return x;
    }
    static Variant i2(int16_t v)
    {
        Variant x;
        x.vt = VT_I2;
        x.num = v;
        return x;
    }
    static Variant ui1(uint8_t v)
    {
        Variant x;
        x.vt = VT_UI1;
        x.num = v;
        return x;
    }
    static Variant bstr(std::string v)
    {
        Variant x;
        x.vt = VT_BSTR;
        x.str = std::move(v);
        return x;
    }
    static Variant dispatch(IDispatch *v)
    {
        Variant x;
        x.vt = VT_DISPATCH;
        x.obj = v;
        return x;
    }
    static Variant byRef(uint16_t type, void *p)
    {
        Variant x;
        x.vt = type | VT_BYREF;
        x.ref = p;
        return x;
    }
};

enum : uint16_t { DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4 };

struct ExcepInfo {
    std::string source;
    std::string description;
    HRESULT scode = S_OK;
};

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID &iid, void **out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IDispatch : IUnknown {
    // Arguments in their declared order (not reversed); a retval goes to *result.
    virtual HRESULT Invoke(DISPID member, uint16_t flags, std::vector<Variant> &args, Variant *result,
                           ExcepInfo *exception) = 0;
    virtual HRESULT GetIDsOfNames(const std::string &name, DISPID *member) = 0;

protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown *outer, const GUID &iid, void **out) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

struct IErrorInfo : IUnknown {
    virtual HRESULT GetDescription(std::string *description) = 0;
    virtual HRESULT GetSource(std::string *source) = 0;
    virtual HRESULT GetGUID(GUID *guid) = 0;

protected:
    ~IErrorInfo() = default;
};

// Addition of this platform, asked of an error record with QueryInterface: the library's result
// code the description was made from (a USB status code, or a platform error such as 1460 for a
// transfer that ran out of time), so that a client tells errors apart by number, not by their
// texts. S_FALSE and 0 when the record was not made from a result code.
struct IKestoErrorCode : IUnknown {
    virtual HRESULT GetCode(uint32_t *code) = 0;

protected:
    ~IKestoErrorCode() = default;
};

// ---- the classes' interfaces ----

struct IDeviceDescriptor;
struct IConfigurationDescriptor;
struct IInterfaceDescriptor;
struct IEndpointDescriptor;
struct IIsochronousTransfer;

struct IKestoUsb : IDispatch {
    virtual HRESULT get_LinkName(std::string *value) = 0;                                                       // 6
    virtual HRESULT put_LinkName(const std::string &value) = 0;                                                 // 6
    virtual HRESULT get_DeviceInstance(int32_t *value) = 0;                                                     // 7
    virtual HRESULT put_DeviceInstance(int32_t value) = 0;                                                      // 7
    virtual HRESULT BulkTransfer(uint8_t Endpoint, int32_t Length, uint8_t *Buffer, int32_t *ReturnLength) = 0; // 8
    virtual HRESULT ControlTransfer(REQUEST_TYPE RequestType, REQUEST_RECIPIENT RequestRecipient, uint8_t Request,
                                    int16_t Value, int16_t Index, int32_t HostToDevice, int32_t Length, uint8_t *Buffer,
                                    int32_t *ReturnLength) = 0; // 9
    virtual HRESULT InterruptTransfer(uint8_t Endpoint, int32_t Length, uint8_t *Buffer,
                                      int32_t *ReturnLength) = 0;                                              // 10
    virtual HRESULT IsochronousTransfer(uint8_t Endpoint, IIsochronousTransfer *Transfer) = 0;                 // 11
    virtual HRESULT ClearStall(uint8_t Endpoint) = 0;                                                          // 12
    virtual HRESULT GetNumberOfLanguageIds(int16_t *NumberOfIds) = 0;                                          // 13
    virtual HRESULT GetLanguageIds(int16_t NumberOfIds, int16_t *LanguageIds) = 0;                             // 14
    virtual HRESULT GetStringDescriptor(int16_t LanguageId, int32_t DescriptorIndex, std::string *String) = 0; // 16
    virtual HRESULT SelectInterface(int32_t Interface, int32_t AlternateSetting) = 0;                          // 17
    virtual HRESULT Trace(const std::string &TraceString) = 0;                                                 // 18
    virtual HRESULT GetDeviceDescriptor(IDeviceDescriptor *DeviceDescriptor) = 0;                              // 19
    virtual HRESULT GetInterfaceDescriptor(IInterfaceDescriptor *InterfaceDescriptor) = 0;                     // 20
    virtual HRESULT GetConfigurationDescriptor(IConfigurationDescriptor *ConfigDescriptor) = 0;                // 21
    virtual HRESULT GetEndpointDescriptor(uint8_t Endpoint, IEndpointDescriptor *EndpointDescriptor) = 0;      // 22
    virtual HRESULT GetDriverVersion(int32_t *MajorVersion, int32_t *MinorVersion) = 0;                        // 23
    // Addition of this platform (DISPID 100): a limit in milliseconds for each transfer
    // (0, the default, waits as long as the driver takes). A transfer that runs out of time
    // is withdrawn and reported as error 1460.
    virtual HRESULT get_TransferTimeout(int32_t *milliseconds) = 0;
    virtual HRESULT put_TransferTimeout(int32_t milliseconds) = 0;

protected:
    ~IKestoUsb() = default;
};

constexpr DISPID DISPID_TRANSFERTIMEOUT = 100;

struct IDeviceDescriptor : IDispatch {
    virtual HRESULT get_bLength(uint8_t *v) = 0;
    virtual HRESULT get_bDescriptorType(uint8_t *v) = 0;
    virtual HRESULT get_bcdUSB(int16_t *v) = 0;
    virtual HRESULT get_bDeviceClass(uint8_t *v) = 0;
    virtual HRESULT get_bDeviceSubClass(uint8_t *v) = 0;
    virtual HRESULT get_bDeviceProtocol(uint8_t *v) = 0;
    virtual HRESULT get_bMaxPacketSize0(uint8_t *v) = 0;
    virtual HRESULT get_idVendor(int16_t *v) = 0;
    virtual HRESULT get_idProduct(int16_t *v) = 0;
    virtual HRESULT get_bcdDevice(int16_t *v) = 0;
    virtual HRESULT get_iManufacturer(uint8_t *v) = 0;
    virtual HRESULT get_iProduct(uint8_t *v) = 0;
    virtual HRESULT get_iSerialNumber(uint8_t *v) = 0;
    virtual HRESULT get_bNumConfigurations(uint8_t *v) = 0;
    virtual HRESULT DeviceDescriptor(const DEVICE_DESCRIPTOR *record) = 0; // hidden, 15

protected:
    ~IDeviceDescriptor() = default;
};

struct IConfigurationDescriptor : IDispatch {
    virtual HRESULT get_bLength(uint8_t *v) = 0;
    virtual HRESULT get_bDescriptorType(uint8_t *v) = 0;
    virtual HRESULT get_wTotalLength(int16_t *v) = 0;
    virtual HRESULT get_bNumInterfaces(uint8_t *v) = 0;
    virtual HRESULT get_bConfigurationValue(uint8_t *v) = 0;
    virtual HRESULT get_iConfiguration(uint8_t *v) = 0;
    virtual HRESULT get_bmAttributes(uint8_t *v) = 0;
    virtual HRESULT get_MaxPower(uint8_t *v) = 0;
    virtual HRESULT ConfigurationDescriptor(const CONFIGURATION_DESCRIPTOR *record) = 0; // hidden, 9

protected:
    ~IConfigurationDescriptor() = default;
};

struct IInterfaceDescriptor : IDispatch {
    virtual HRESULT get_bLength(uint8_t *v) = 0;
    virtual HRESULT get_bDescriptorType(uint8_t *v) = 0;
    virtual HRESULT get_bInterfaceNumber(uint8_t *v) = 0;
    virtual HRESULT get_bAlternateSetting(uint8_t *v) = 0;
    virtual HRESULT get_bNumEndpoints(uint8_t *v) = 0;
    virtual HRESULT get_bInterfaceClass(uint8_t *v) = 0;
    virtual HRESULT get_bInterfaceSubClass(uint8_t *v) = 0;
    virtual HRESULT get_bInterfaceProtocol(uint8_t *v) = 0;
    virtual HRESULT get_iInterface(uint8_t *v) = 0;
    virtual HRESULT InterfaceDescriptor(const INTERFACE_DESCRIPTOR *record) = 0; // hidden, 10

protected:
    ~IInterfaceDescriptor() = default;
};

struct IEndpointDescriptor : IDispatch {
    virtual HRESULT get_bLength(uint8_t *v) = 0;
    virtual HRESULT get_bDescriptorType(uint8_t *v) = 0;
    virtual HRESULT get_bEndpointAddress(uint8_t *v) = 0;
    virtual HRESULT get_bmAttributes(uint8_t *v) = 0;
    virtual HRESULT get_wMaxPacketSize(int16_t *v) = 0;
    virtual HRESULT get_bInterval(uint8_t *v) = 0;
    virtual HRESULT EndpointDescriptor(const ENDPOINT_DESCRIPTOR *record) = 0; // hidden, 7

protected:
    ~IEndpointDescriptor() = default;
};

struct IIsochronousTransfer : IDispatch {
    virtual HRESULT Initialize(int32_t PacketSize, int32_t NumberOfPackets) = 0;               // 1
    virtual HRESULT get_Status(int32_t PacketNumber, int32_t *Status) = 0;                     // 2
    virtual HRESULT get_Length(int32_t PacketNumber, int32_t *Length) = 0;                     // 3
    virtual HRESULT GetData(int32_t BufferLength, uint8_t *Buffer, int32_t *ReturnLength) = 0; // 4
    virtual HRESULT SetData(int32_t BufferLength, uint8_t *Buffer) = 0;                        // 5
    // hidden, 6; the address needs all of a pointer's width here
    virtual HRESULT GetTransferParameters(int32_t *NumberOfPackets, int32_t *PacketSize, int32_t *Length,
                                          int64_t *Buffer) = 0;

protected:
    ~IIsochronousTransfer() = default;
};

} // namespace kesto

extern "C" {
// The calling thread's error record, left by the last failing member (S_FALSE: none).
// The caller owns the returned reference.
KESTO_API kesto::HRESULT KestoGetErrorInfo(uint32_t reserved, kesto::IErrorInfo **info);

KESTO_API kesto::HRESULT DllGetClassObject(const KESTO_GUID *clsid, const KESTO_GUID *iid, void **out);
KESTO_API kesto::HRESULT DllCanUnloadNow(void);
KESTO_API kesto::HRESULT DllRegisterServer(void);
KESTO_API kesto::HRESULT DllUnregisterServer(void);
}
