// The KestoUsb control: one device opened by link name and instance, its transfers and
// queries, and reopening on device arrival. It has no window to show here; the hidden
// notification window ("DeviceNotificationWindow") is a recipient record whose procedure
// hands device changes to the control.

#include "Runtime.h"

#include "Internal.h"

#include <memory>
#include <mutex>
#include <new>

namespace kesto {
uint32_t readStringDescriptor(KESTO_HANDLE h, uint16_t languageId, uint32_t index, uint32_t characters,
                              std::string *out);
}

namespace kesto::com {

namespace {

constexpr uint32_t kErrorTimeout = KESTO_ERROR_TIMEOUT;
constexpr uint32_t kPrivateDeviceChange = 0x500;
// More than any string descriptor holds (255 bytes); a larger length from a driver is wrong.
constexpr uint32_t kMaxStringCharacters = 0x8000;

const NameId kNames[] = {
    {"LinkName", 6},
    {"DeviceInstance", 7},
    {"BulkTransfer", 8},
    {"ControlTransfer", 9},
    {"InterruptTransfer", 10},
    {"IsochronousTransfer", 11},
    {"ClearStall", 12},
    {"GetNumberOfLanguageIds", 13},
    {"GetLanguageIds", 14},
    {"GetStringDescriptor", 16},
    {"SelectInterface", 17},
    {"Trace", 18},
    {"GetDeviceDescriptor", 19},
    {"GetInterfaceDescriptor", 20},
    {"GetConfigurationDescriptor", 21},
    {"GetEndpointDescriptor", 22},
    {"GetDriverVersion", 23},
    {"TransferTimeout", DISPID_TRANSFERTIMEOUT},
};

class Control final : public Object<IKestoUsb>
{
public:
    Control() : Object(IID_IKestoUsb)
    {
        m_window.proc = &Control::windowProc;
        m_window.context = this;
    }

    ~Control() override
    {
        // Unregister first and without the lock: the notifier may be delivering to us.
        KESTO_HDEVNOTIFY key;
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            key = m_notify;
            m_notify = nullptr;
        }
        if (key)
            KestoUnregisterDeviceNotification(key);
        std::lock_guard<std::recursive_mutex> g(m_lock);
        closeHandle();
    }

    HRESULT get_LinkName(std::string *value) override
    {
        if (!value)
            return E_POINTER;
        std::lock_guard<std::recursive_mutex> g(m_lock);
        *value = m_linkName;
        return S_OK;
    }

    HRESULT put_LinkName(const std::string &value) override
    {
        KESTO_HDEVNOTIFY key;
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            m_linkName = value;
            key = m_notify;
            m_notify = nullptr;
        }
        if (key)
            KestoUnregisterDeviceNotification(key);
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            closeHandle();
        }
        return ensureOpen();
    }

    HRESULT get_DeviceInstance(int32_t *value) override
    {
        if (!value)
            return E_POINTER;
        std::lock_guard<std::recursive_mutex> g(m_lock);
        *value = m_instance;
        return S_OK;
    }

    HRESULT put_DeviceInstance(int32_t value) override
    {
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            m_instance = value;
            closeHandle();
        }
        return ensureOpen();
    }

    HRESULT get_TransferTimeout(int32_t *ms) override
    {
        if (!ms)
            return E_POINTER;
        *ms = m_timeoutMs;
        return S_OK;
    }

    HRESULT put_TransferTimeout(int32_t ms) override
    {
        if (ms < 0)
            return reportResult(KESTO_ERROR_INVALID_PARAMETER, kControlSource);
        m_timeoutMs = ms;
        return S_OK;
    }

    HRESULT BulkTransfer(uint8_t endpoint, int32_t length, uint8_t *buffer, int32_t *returnLength) override
    {
        return pipeTransfer(false, endpoint, length, buffer, returnLength);
    }

    HRESULT InterruptTransfer(uint8_t endpoint, int32_t length, uint8_t *buffer, int32_t *returnLength) override
    {
        return pipeTransfer(true, endpoint, length, buffer, returnLength);
    }

    HRESULT ControlTransfer(REQUEST_TYPE type, REQUEST_RECIPIENT recipient, uint8_t request, int16_t value,
                            int16_t index, int32_t hostToDevice, int32_t length, uint8_t *buffer,
                            int32_t *returnLength) override
    {
        if (!returnLength)
            return E_POINTER;
        const auto requestType = static_cast<uint8_t>(static_cast<int32_t>(type) | static_cast<int32_t>(recipient));
        const auto v = static_cast<uint16_t>(value), ix = static_cast<uint16_t>(index);
        const auto len = static_cast<uint32_t>(length);
        KESTO_HANDLE h = handle();
        uint32_t n = 0, r;
        if (m_timeoutMs > 0) {
            KESTO_OVERLAPPED ov{};
            r = KestoAsynchControlTransfer(h, requestType, request, v, ix, hostToDevice, len, buffer, &n, &ov);
            r = bounded(h, r, &n, &ov);
        } else {
            r = KestoControlTransfer(h, requestType, request, v, ix, hostToDevice, len, buffer, &n);
        }
        if (r != 0)
            return reportResult(r, kControlSource);
        *returnLength = static_cast<int32_t>(n);
        return S_OK;
    }

    HRESULT IsochronousTransfer(uint8_t endpoint, IIsochronousTransfer *transfer) override
    {
        if (!transfer)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kControlSource);
        int32_t packets = 0, size = 0, length = 0;
        int64_t address = 0;
        HRESULT hr = transfer->GetTransferParameters(&packets, &size, &length, &address);
        if (FAILED(hr))
            return hr;
        uint32_t n = 0;
        uint32_t r = KestoIsochronousTransfer(handle(), endpoint, static_cast<uint32_t>(packets),
                                              static_cast<uint32_t>(size), static_cast<uint32_t>(length),
                                              reinterpret_cast<void *>(static_cast<intptr_t>(address)), &n);
        return r ? reportResult(r, kControlSource) : S_OK;
    }

    HRESULT ClearStall(uint8_t endpoint) override
    {
        uint32_t r = KestoClearStall(handle(), endpoint);
        return r ? reportResult(r, kControlSource) : S_OK;
    }

    HRESULT GetNumberOfLanguageIds(int16_t *numberOfIds) override
    {
        if (!numberOfIds)
            return E_POINTER;
        uint16_t n = 0;
        uint32_t r = KestoGetNumberOfLanguageIds(handle(), &n);
        if (r)
            return reportResult(r, kControlSource);
        *numberOfIds = static_cast<int16_t>(n);
        return S_OK;
    }

    HRESULT GetLanguageIds(int16_t numberOfIds, int16_t *languageIds) override
    {
        if (!languageIds)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kControlSource);
        uint32_t r = KestoGetLanguageIds(handle(), static_cast<uint16_t>(numberOfIds),
                                         reinterpret_cast<uint16_t *>(languageIds));
        return r ? reportResult(r, kControlSource) : S_OK;
    }

    HRESULT GetStringDescriptor(int16_t languageId, int32_t descriptorIndex, std::string *text) override
    {
        if (!text)
            return E_POINTER;
        KESTO_HANDLE h = handle();
        uint32_t length = 0;
        uint32_t r = KestoGetStringDescriptorLength(h, static_cast<uint16_t>(languageId),
                                                    static_cast<uint32_t>(descriptorIndex), &length);
        if (r)
            return reportResult(r, kControlSource);
        if (length > kMaxStringCharacters)
            return reportResult(KESTO_ERROR_INVALID_PARAMETER, kControlSource);
        // Read as many characters as the device reports, not just what a 260-byte buffer
        // held: longer descriptors used to come back cut short.
        std::string s;
        if (length > 0) {
            r = readStringDescriptor(h, static_cast<uint16_t>(languageId), static_cast<uint32_t>(descriptorIndex),
                                     length, &s);
            if (r)
                return reportResult(r, kControlSource);
        }
        *text = s;
        return S_OK;
    }

    HRESULT SelectInterface(int32_t interfaceNumber, int32_t alternateSetting) override
    {
        uint32_t r = KestoSelectInterface(handle(), static_cast<uint32_t>(interfaceNumber),
                                          static_cast<uint32_t>(alternateSetting));
        return r ? reportResult(r, kControlSource) : S_OK;
    }

    HRESULT Trace(const std::string &text) override
    {
        // Written as it stands: a percent sign in it is just a character.
        KestoUsbTrace(text.c_str(), static_cast<uint32_t>(text.size()));
        return S_OK;
    }

    HRESULT GetDeviceDescriptor(IDeviceDescriptor *target) override
    {
        DEVICE_DESCRIPTOR d{};
        return fill(target, KestoGetDeviceDescriptor(handle(), &d), [&] { return target->DeviceDescriptor(&d); });
    }

    HRESULT GetInterfaceDescriptor(IInterfaceDescriptor *target) override
    {
        INTERFACE_DESCRIPTOR d{};
        return fill(target, KestoGetInterfaceDescriptor(handle(), &d), [&] { return target->InterfaceDescriptor(&d); });
    }

    HRESULT GetConfigurationDescriptor(IConfigurationDescriptor *target) override
    {
        CONFIGURATION_DESCRIPTOR d{};
        return fill(target, KestoGetConfigDescriptor(handle(), &d),
                    [&] { return target->ConfigurationDescriptor(&d); });
    }

    HRESULT GetEndpointDescriptor(uint8_t endpoint, IEndpointDescriptor *target) override
    {
        ENDPOINT_DESCRIPTOR d{};
        return fill(target, KestoGetEndpointDescriptor(handle(), endpoint, &d),
                    [&] { return target->EndpointDescriptor(&d); });
    }

    HRESULT GetDriverVersion(int32_t *major, int32_t *minor) override
    {
        if (!major || !minor)
            return reportResult(KESTO_ERROR_INVALID_PARAMETER, kControlSource);
        uint32_t a = 0, b = 0;
        uint32_t r = KestoGetDriverVersion(handle(), &a, &b);
        if (r)
            return reportResult(r, kControlSource);
        *major = static_cast<int32_t>(a);
        *minor = static_cast<int32_t>(b);
        return S_OK;
    }

    HRESULT Invoke(DISPID member, uint16_t flags, std::vector<Variant> &args, Variant *result,
                   ExcepInfo *exception) override
    {
        HRESULT hr = dispatch(member, flags, args, result);
        return finishInvoke(hr, exception);
    }

    HRESULT GetIDsOfNames(const std::string &name, DISPID *id) override
    {
        return lookupName(kNames, std::size(kNames), name, id);
    }

private:
    HRESULT dispatch(DISPID member, uint16_t flags, std::vector<Variant> &args, Variant *result)
    {
        const bool put = flags & DISPATCH_PROPERTYPUT;
        auto count = [&](size_t n) { return args.size() == n; };
        switch (member) {
        case 6: {
            if (put) {
                std::string s;
                if (!count(1))
                    return DISP_E_BADPARAMCOUNT;
                if (!argStr(args[0], &s))
                    return DISP_E_TYPEMISMATCH;
                return put_LinkName(s);
            }
            std::string s;
            HRESULT hr = get_LinkName(&s);
            if (SUCCEEDED(hr) && result)
                *result = Variant::bstr(s);
            return hr;
        }
        case 7:
        case DISPID_TRANSFERTIMEOUT: {
            if (put) {
                int32_t v;
                if (!count(1))
                    return DISP_E_BADPARAMCOUNT;
                if (!argI4(args[0], &v))
                    return DISP_E_TYPEMISMATCH;
                return member == 7 ? put_DeviceInstance(v) : put_TransferTimeout(v);
            }
            int32_t v = 0;
            HRESULT hr = member == 7 ? get_DeviceInstance(&v) : get_TransferTimeout(&v);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i4(v);
            return hr;
        }
        case 8:
        case 10: {
            uint8_t ep;
            int32_t len, got = 0;
            if (!count(3))
                return DISP_E_BADPARAMCOUNT;
            uint8_t *buf = argRef<uint8_t>(args[2], VT_UI1);
            if (!argUI1(args[0], &ep) || !argI4(args[1], &len) || !buf)
                return DISP_E_TYPEMISMATCH;
            HRESULT hr = member == 8 ? BulkTransfer(ep, len, buf, &got) : InterruptTransfer(ep, len, buf, &got);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i4(got);
            return hr;
        }
        case 9: {
            int32_t type, recipient, host, len, got = 0;
            uint8_t request;
            int16_t value, index;
            if (!count(8))
                return DISP_E_BADPARAMCOUNT;
            uint8_t *buf = argRef<uint8_t>(args[7], VT_UI1);
            if (!argI4(args[0], &type) || !argI4(args[1], &recipient) || !argUI1(args[2], &request)
                || !argI2(args[3], &value) || !argI2(args[4], &index) || !argI4(args[5], &host) || !argI4(args[6], &len)
                || !buf)
                return DISP_E_TYPEMISMATCH;
            HRESULT hr = ControlTransfer(static_cast<REQUEST_TYPE>(type), static_cast<REQUEST_RECIPIENT>(recipient),
                                         request, value, index, host, len, buf, &got);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i4(got);
            return hr;
        }
        case 11: {
            uint8_t ep;
            IIsochronousTransfer *t = nullptr;
            if (!count(2))
                return DISP_E_BADPARAMCOUNT;
            if (!argUI1(args[0], &ep) || !argObject(args[1], IID_IIsochronousTransfer, reinterpret_cast<void **>(&t)))
                return DISP_E_TYPEMISMATCH;
            HRESULT hr = IsochronousTransfer(ep, t);
            t->Release();
            return hr;
        }
        default: break;
        }
        // The remaining members.
        switch (member) {
        case 12: {
            uint8_t ep;
            if (!count(1))
                return DISP_E_BADPARAMCOUNT;
            if (!argUI1(args[0], &ep))
                return DISP_E_TYPEMISMATCH;
            return ClearStall(ep);
        }
        case 13: {
            int16_t n = 0;
            HRESULT hr = GetNumberOfLanguageIds(&n);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i2(n);
            return hr;
        }
        case 14: {
            int16_t n;
            if (!count(2))
                return DISP_E_BADPARAMCOUNT;
            int16_t *ids = argRef<int16_t>(args[1], VT_I2);
            if (!argI2(args[0], &n) || !ids)
                return DISP_E_TYPEMISMATCH;
            return GetLanguageIds(n, ids);
        }
        case 16: {
            int16_t lang;
            int32_t index;
            if (!count(2))
                return DISP_E_BADPARAMCOUNT;
            if (!argI2(args[0], &lang) || !argI4(args[1], &index))
                return DISP_E_TYPEMISMATCH;
            std::string s;
            HRESULT hr = GetStringDescriptor(lang, index, &s);
            if (SUCCEEDED(hr) && result)
                *result = Variant::bstr(s);
            return hr;
        }
        case 17: {
            int32_t itf, alt;
            if (!count(2))
                return DISP_E_BADPARAMCOUNT;
            if (!argI4(args[0], &itf) || !argI4(args[1], &alt))
                return DISP_E_TYPEMISMATCH;
            return SelectInterface(itf, alt);
        }
        case 18: {
            std::string s;
            if (!count(1))
                return DISP_E_BADPARAMCOUNT;
            if (!argStr(args[0], &s))
                return DISP_E_TYPEMISMATCH;
            return Trace(s);
        }
        case 19:
            return withObject<IDeviceDescriptor>(args, 0, IID_IDeviceDescriptor,
                                                 [&](IDeviceDescriptor *d) { return GetDeviceDescriptor(d); });
        case 20:
            return withObject<IInterfaceDescriptor>(args, 0, IID_IInterfaceDescriptor,
                                                    [&](IInterfaceDescriptor *d) { return GetInterfaceDescriptor(d); });
        case 21:
            return withObject<IConfigurationDescriptor>(
                args, 0, IID_IConfigurationDescriptor,
                [&](IConfigurationDescriptor *d) { return GetConfigurationDescriptor(d); });
        case 22: {
            uint8_t ep;
            if (args.size() != 2)
                return DISP_E_BADPARAMCOUNT;
            if (!argUI1(args[0], &ep))
                return DISP_E_TYPEMISMATCH;
            return withObject<IEndpointDescriptor>(
                args, 1, IID_IEndpointDescriptor, [&](IEndpointDescriptor *d) { return GetEndpointDescriptor(ep, d); });
        }
        case 23: {
            if (!count(2))
                return DISP_E_BADPARAMCOUNT;
            int32_t a = 0, b = 0;
            HRESULT hr = GetDriverVersion(&a, &b);
            if (SUCCEEDED(hr) && !(setOut(args[0], a) && setOut(args[1], b)))
                return DISP_E_TYPEMISMATCH;
            return hr;
        }
        default: return DISP_E_MEMBERNOTFOUND;
        }
    }

    template <typename I, typename F>
    HRESULT withObject(std::vector<Variant> &args, size_t at, const GUID &iid, F call)
    {
        if (args.size() != at + 1)
            return DISP_E_BADPARAMCOUNT;
        I *obj = nullptr;
        if (!argObject(args[at], iid, reinterpret_cast<void **>(&obj)))
            return DISP_E_TYPEMISMATCH;
        HRESULT hr = call(obj);
        obj->Release();
        return hr;
    }

    template <typename T, typename F>
    HRESULT fill(T *target, uint32_t r, F set)
    {
        if (!target)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kControlSource);
        if (r)
            return reportResult(r, kControlSource);
        return set();
    }

    HRESULT pipeTransfer(bool interrupt, uint8_t endpoint, int32_t length, uint8_t *buffer, int32_t *returnLength)
    {
        if (!returnLength)
            return E_POINTER;
        KESTO_HANDLE h = handle();
        const auto len = static_cast<uint32_t>(length);
        uint32_t n = 0, r;
        if (m_timeoutMs > 0) {
            KESTO_OVERLAPPED ov{};
            r = interrupt ? KestoAsynchInterruptTransfer(h, endpoint, len, buffer, &n, &ov)
                          : KestoAsynchBulkTransfer(h, endpoint, len, buffer, &n, &ov);
            r = bounded(h, r, &n, &ov);
        } else {
            r = interrupt ? KestoInterruptTransfer(h, endpoint, len, buffer, &n)
                          : KestoBulkTransfer(h, endpoint, len, buffer, &n);
        }
        if (r != 0)
            return reportResult(r, kControlSource);
        *returnLength = static_cast<int32_t>(n);
        return S_OK;
    }

    // Waits for a started request within the transfer time limit; a request that runs out
    // of time is withdrawn so the caller's buffer is free again.
    uint32_t bounded(KESTO_HANDLE h, uint32_t started, uint32_t *n, KESTO_OVERLAPPED *ov)
    {
        if (started != KESTO_ERROR_IO_PENDING)
            return started;
        uint32_t r = KestoWaitAsynchCompletion(h, n, ov, static_cast<uint32_t>(m_timeoutMs));
        if (r == KESTO_WAIT_TIMEOUT) {
            if (KestoCancelAsynchTransfer(h, ov) == 0)
                return kErrorTimeout;
            r = KestoCheckAsynchCompletion(h, n, ov); // it finished just in time
        }
        return r;
    }

    KESTO_HANDLE handle()
    {
        std::lock_guard<std::recursive_mutex> g(m_lock);
        return m_handle;
    }

    void closeHandle()
    {
        if (m_handle != KESTO_INVALID_HANDLE)
            KestoCloseHandle(m_handle);
        m_handle = KESTO_INVALID_HANDLE;
    }

    // Opens the device if it is not open, learns its interface class and registers for its
    // arrival and removal. Called without the lock: the notifier delivers device changes
    // while holding its own lock, so registering must not happen under ours.
    HRESULT ensureOpen()
    {
        KESTO_GUID guid{};
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            if (m_handle == KESTO_INVALID_HANDLE) {
                KESTO_HANDLE h = KestoOpenHandle(m_linkName.c_str(), static_cast<uint32_t>(m_instance), 0);
                if (h == KESTO_INVALID_HANDLE)
                    return reportResult(KestoGetLastError(), kControlSource);
                m_handle = h;
            }
            if (uint32_t r = KestoGetGuid(m_handle, &guid))
                return reportResult(r, kControlSource);
            if (m_notify)
                return S_OK;
        }
        KESTO_DEV_BROADCAST_DEVICEINTERFACE filter{};
        filter.dbcc_size = 32;
        filter.dbcc_devicetype = KESTO_DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = guid;
        KESTO_HDEVNOTIFY key = KestoRegisterDeviceNotification(&m_window, &filter, 0);
        if (!key)
            return reportResult(KestoGetLastError(), kControlSource);
        KESTO_HDEVNOTIFY extra = nullptr;
        {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            if (m_notify)
                extra = key; // another thread registered meanwhile
            else
                m_notify = key;
        }
        if (extra)
            KestoUnregisterDeviceNotification(extra);
        return S_OK;
    }

    static intptr_t windowProc(KESTO_WINDOW *window, uint32_t message, uintptr_t wParam, intptr_t /*lParam*/)
    {
        if (message == KESTO_WM_DEVICECHANGE || message == kPrivateDeviceChange)
            static_cast<Control *>(window->context)->deviceChange(static_cast<uint32_t>(wParam));
        return 1;
    }

    void deviceChange(uint32_t event)
    {
        switch (event) {
        case KESTO_DBT_DEVICEARRIVAL: {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            closeHandle();
            if (!m_linkName.empty())
                m_handle = KestoOpenHandle(m_linkName.c_str(), static_cast<uint32_t>(m_instance), 0);
            break;
        }
        case KESTO_DBT_DEVICEREMOVECOMPLETE: {
            std::lock_guard<std::recursive_mutex> g(m_lock);
            closeHandle();
            break;
        }
        case KESTO_DBT_CONFIGCHANGED: traceLine("Kesto for USB: DBT_CONFIGCHANGED"); break;
        case KESTO_DBT_DEVICEQUERYREMOVE: traceLine("Kesto for USB: DBT_DEVICEQUERYREMOVE"); break;
        case KESTO_DBT_DEVICEQUERYREMOVEFAILED: traceLine("Kesto for USB: DBT_DEVICEQUERYREMOVEFAILED"); break;
        case KESTO_DBT_DEVICEREMOVEPENDING: traceLine("Kesto for USB: DBT_DEVICEREMOVEPENDING"); break;
        case KESTO_DBT_DEVICETYPESPECIFIC: traceLine("Kesto for USB: DBT_DEVICETYPESPECIFIC"); break;
        default: break;
        }
    }

    std::recursive_mutex m_lock; // the handle and names; device changes come from the notifier's thread
    KESTO_HANDLE m_handle = KESTO_INVALID_HANDLE;
    std::string m_linkName;
    int32_t m_instance = 0;
    KESTO_HDEVNOTIFY m_notify = nullptr;
    KESTO_WINDOW m_window{};
    std::atomic<int32_t> m_timeoutMs{0};
};

} // namespace

IDispatch *createControl() { return new (std::nothrow) Control; }

} // namespace kesto::com
