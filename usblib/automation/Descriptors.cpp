// The four descriptor classes: read-only views of a USB descriptor record that the control
// fills through their hidden setters.

#include "ByteOrder.h"
#include "Runtime.h"

#include <cstring>
#include <new>

namespace kesto::com {

namespace {

// One property: DISPID, name, offset in the record, width (1 or 2 bytes).
struct Prop {
    DISPID id;
    const char *name;
    int offset;
    int width;
};

template <typename Interface, typename Record, const Prop *Props, size_t N, DISPID SetterId>
class Descriptor : public Object<Interface>
{
public:
    explicit Descriptor(const GUID &iid) : Object<Interface>(iid) { std::memset(&m_record, 0, sizeof m_record); }

    HRESULT Invoke(DISPID member, uint16_t flags, std::vector<Variant> &args, Variant *result,
                   ExcepInfo *exception) override
    {
        if (member == SetterId) {
            if (args.size() != 1)
                return DISP_E_BADPARAMCOUNT;
            auto *rec = argRef<const Record>(args[0], VT_UI1); // the record's bytes, by reference
            if (!rec)
                return DISP_E_TYPEMISMATCH;
            return finishInvoke(set(rec), exception);
        }
        for (size_t i = 0; i < N; ++i) {
            if (Props[i].id != member)
                continue;
            if (!(flags & DISPATCH_PROPERTYGET))
                return DISP_E_MEMBERNOTFOUND;
            if (!result)
                return E_POINTER;
            *result = Props[i].width == 1 ? Variant::ui1(byteAt(Props[i].offset))
                                          : Variant::i2(static_cast<int16_t>(wordAt(Props[i].offset)));
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT GetIDsOfNames(const std::string &name, DISPID *id) override
    {
        for (size_t i = 0; i < N; ++i)
            if (name == Props[i].name) {
                *id = Props[i].id;
                return S_OK;
            }
        return DISP_E_UNKNOWNNAME;
    }

protected:
    HRESULT set(const Record *record)
    {
        if (!record)
            return E_POINTER;
        m_record = *record;
        return S_OK;
    }
    uint8_t byteAt(int offset) const { return reinterpret_cast<const uint8_t *>(&m_record)[offset]; }
    uint16_t wordAt(int offset) const { return le::get16(reinterpret_cast<const uint8_t *>(&m_record) + offset); }
    HRESULT getByte(int offset, uint8_t *v) const
    {
        if (!v)
            return E_POINTER;
        *v = byteAt(offset);
        return S_OK;
    }
    HRESULT getWord(int offset, int16_t *v) const
    {
        if (!v)
            return E_POINTER;
        *v = static_cast<int16_t>(wordAt(offset));
        return S_OK;
    }

    Record m_record;
};

constexpr Prop kDeviceProps[] = {
    {1, "bLength", 0, 1},         {2, "bDescriptorType", 1, 1},
    {3, "bcdUSB", 2, 2},          {4, "bDeviceClass", 4, 1},
    {5, "bDeviceSubClass", 5, 1}, {6, "bDeviceProtocol", 6, 1},
    {7, "bMaxPacketSize0", 7, 1}, {8, "idVendor", 8, 2},
    {9, "idProduct", 10, 2},      {10, "bcdDevice", 12, 2},
    {11, "iManufacturer", 14, 1}, {12, "iProduct", 15, 1},
    {13, "iSerialNumber", 16, 1}, {14, "bNumConfigurations", 17, 1},
};
constexpr Prop kConfigProps[] = {
    {1, "bLength", 0, 1},
    {2, "bDescriptorType", 1, 1},
    {3, "wTotalLength", 2, 2},
    {4, "bNumInterfaces", 4, 1},
    {5, "bConfigurationValue", 5, 1},
    {6, "iConfiguration", 6, 1},
    {7, "bmAttributes", 7, 1},
    {8, "MaxPower", 8, 1},
};
constexpr Prop kInterfaceProps[] = {
    {1, "bLength", 0, 1},
    {2, "bDescriptorType", 1, 1},
    {3, "bInterfaceNumber", 2, 1},
    {4, "bAlternateSetting", 3, 1},
    {5, "bNumEndpoints", 4, 1},
    {6, "bInterfaceClass", 5, 1},
    {7, "bInterfaceSubClass", 6, 1},
    {8, "bInterfaceProtocol", 7, 1},
    {9, "iInterface", 8, 1},
};
constexpr Prop kEndpointProps[] = {
    {1, "bLength", 0, 1},      {2, "bDescriptorType", 1, 1}, {3, "bEndpointAddress", 2, 1},
    {4, "bmAttributes", 3, 1}, {5, "wMaxPacketSize", 4, 2},  {6, "bInterval", 6, 1},
};

class DeviceDescriptorObject final
    : public Descriptor<IDeviceDescriptor, DEVICE_DESCRIPTOR, kDeviceProps, std::size(kDeviceProps), 15>
{
public:
    DeviceDescriptorObject() : Descriptor(IID_IDeviceDescriptor) {}
    HRESULT get_bLength(uint8_t *v) override { return getByte(0, v); }
    HRESULT get_bDescriptorType(uint8_t *v) override { return getByte(1, v); }
    HRESULT get_bcdUSB(int16_t *v) override { return getWord(2, v); }
    HRESULT get_bDeviceClass(uint8_t *v) override { return getByte(4, v); }
    HRESULT get_bDeviceSubClass(uint8_t *v) override { return getByte(5, v); }
    HRESULT get_bDeviceProtocol(uint8_t *v) override { return getByte(6, v); }
    HRESULT get_bMaxPacketSize0(uint8_t *v) override { return getByte(7, v); }
    HRESULT get_idVendor(int16_t *v) override { return getWord(8, v); }
    HRESULT get_idProduct(int16_t *v) override { return getWord(10, v); }
    HRESULT get_bcdDevice(int16_t *v) override { return getWord(12, v); }
    HRESULT get_iManufacturer(uint8_t *v) override { return getByte(14, v); }
    HRESULT get_iProduct(uint8_t *v) override { return getByte(15, v); }
    HRESULT get_iSerialNumber(uint8_t *v) override { return getByte(16, v); }
    HRESULT get_bNumConfigurations(uint8_t *v) override { return getByte(17, v); }
    HRESULT DeviceDescriptor(const DEVICE_DESCRIPTOR *r) override { return set(r); }
};

class ConfigurationDescriptorObject final
    : public Descriptor<IConfigurationDescriptor, CONFIGURATION_DESCRIPTOR, kConfigProps, std::size(kConfigProps), 9>
{
public:
    ConfigurationDescriptorObject() : Descriptor(IID_IConfigurationDescriptor) {}
    HRESULT get_bLength(uint8_t *v) override { return getByte(0, v); }
    HRESULT get_bDescriptorType(uint8_t *v) override { return getByte(1, v); }
    HRESULT get_wTotalLength(int16_t *v) override { return getWord(2, v); }
    HRESULT get_bNumInterfaces(uint8_t *v) override { return getByte(4, v); }
    HRESULT get_bConfigurationValue(uint8_t *v) override { return getByte(5, v); }
    HRESULT get_iConfiguration(uint8_t *v) override { return getByte(6, v); }
    HRESULT get_bmAttributes(uint8_t *v) override { return getByte(7, v); }
    HRESULT get_MaxPower(uint8_t *v) override { return getByte(8, v); }
    HRESULT ConfigurationDescriptor(const CONFIGURATION_DESCRIPTOR *r) override { return set(r); }
};

class InterfaceDescriptorObject final
    : public Descriptor<IInterfaceDescriptor, INTERFACE_DESCRIPTOR, kInterfaceProps, std::size(kInterfaceProps), 10>
{
public:
    InterfaceDescriptorObject() : Descriptor(IID_IInterfaceDescriptor) {}
    HRESULT get_bLength(uint8_t *v) override { return getByte(0, v); }
    HRESULT get_bDescriptorType(uint8_t *v) override { return getByte(1, v); }
    HRESULT get_bInterfaceNumber(uint8_t *v) override { return getByte(2, v); }
    HRESULT get_bAlternateSetting(uint8_t *v) override { return getByte(3, v); }
    HRESULT get_bNumEndpoints(uint8_t *v) override { return getByte(4, v); }
    HRESULT get_bInterfaceClass(uint8_t *v) override { return getByte(5, v); }
    HRESULT get_bInterfaceSubClass(uint8_t *v) override { return getByte(6, v); }
    HRESULT get_bInterfaceProtocol(uint8_t *v) override { return getByte(7, v); }
    HRESULT get_iInterface(uint8_t *v) override { return getByte(8, v); }
    HRESULT InterfaceDescriptor(const INTERFACE_DESCRIPTOR *r) override { return set(r); }
};

class EndpointDescriptorObject final
    : public Descriptor<IEndpointDescriptor, ENDPOINT_DESCRIPTOR, kEndpointProps, std::size(kEndpointProps), 7>
{
public:
    EndpointDescriptorObject() : Descriptor(IID_IEndpointDescriptor) {}
    HRESULT get_bLength(uint8_t *v) override { return getByte(0, v); }
    HRESULT get_bDescriptorType(uint8_t *v) override { return getByte(1, v); }
    HRESULT get_bEndpointAddress(uint8_t *v) override { return getByte(2, v); }
    HRESULT get_bmAttributes(uint8_t *v) override { return getByte(3, v); }
    HRESULT get_wMaxPacketSize(int16_t *v) override { return getWord(4, v); }
    HRESULT get_bInterval(uint8_t *v) override { return getByte(6, v); }
    HRESULT EndpointDescriptor(const ENDPOINT_DESCRIPTOR *r) override { return set(r); }
};

} // namespace

IDispatch *createDeviceDescriptor() { return new (std::nothrow) DeviceDescriptorObject; }
IDispatch *createConfigurationDescriptor() { return new (std::nothrow) ConfigurationDescriptorObject; }
IDispatch *createInterfaceDescriptor() { return new (std::nothrow) InterfaceDescriptorObject; }
IDispatch *createEndpointDescriptor() { return new (std::nothrow) EndpointDescriptorObject; }

} // namespace kesto::com
