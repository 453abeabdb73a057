// The isochronous transfer object: owns one transfer buffer laid out as the driver expects it
// (packet descriptors of 16 bytes, then the packets' data) for the control's
// IsochronousTransfer member.

#include "Runtime.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace kesto::com {

namespace {

constexpr uint32_t kDescriptorSize = 16;

uint32_t read32(const uint8_t *p) { return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24); }

const NameId kNames[] = {{"Initialize", 1}, {"Status", 2},  {"Length", 3},
                         {"GetData", 4},    {"SetData", 5}, {"GetTransferParameters", 6}};

class IsochronousTransferObject final : public Object<IIsochronousTransfer>
{
public:
    IsochronousTransferObject() : Object(IID_IIsochronousTransfer) {}

    HRESULT Initialize(int32_t packetSize, int32_t numberOfPackets) override
    {
        m_buffer.reset();
        m_packets = m_packetSize = 0;
        if (packetSize < 0 || numberOfPackets < 0)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kIsochronousSource);
        const uint64_t size =
            static_cast<uint64_t>(numberOfPackets) * (static_cast<uint64_t>(packetSize) + kDescriptorSize);
        if (size > 0x7FFFFFFF)
            return reportResult(KESTO_ERROR_NOT_ENOUGH_MEMORY, kIsochronousSource);
        m_buffer.reset(new (std::nothrow) uint8_t[size ? size : 1]());
        if (!m_buffer)
            return reportResult(KESTO_ERROR_NOT_ENOUGH_MEMORY, kIsochronousSource);
        m_packets = static_cast<uint32_t>(numberOfPackets);
        m_packetSize = static_cast<uint32_t>(packetSize);
        for (uint32_t i = 0; i < m_packets; ++i)
            m_buffer[i * kDescriptorSize] = kDescriptorSize;
        return S_OK;
    }

    HRESULT get_Status(int32_t n, int32_t *status) override { return descriptorField(n, 8, status); }
    HRESULT get_Length(int32_t n, int32_t *length) override { return descriptorField(n, 4, length); }

    HRESULT GetData(int32_t bufferLength, uint8_t *buffer, int32_t *returnLength) override
    {
        if (!m_buffer)
            return reportError("Buffer not initialized.  You must call the Initialize method.", kIsochronousSource);
        const uint32_t size = m_packets * m_packetSize;
        if (!buffer || !returnLength)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kIsochronousSource);
        if (bufferLength < 0 || static_cast<uint32_t>(bufferLength) < size) {
            char text[128];
            std::snprintf(text, sizeof text, "Invalid buffer length.  The buffer must be at least %d bytes.",
                          static_cast<int>(size));
            return reportError(text, kIsochronousSource);
        }
        std::memcpy(buffer, data(), size);
        *returnLength = static_cast<int32_t>(size);
        return S_OK;
    }

    HRESULT SetData(int32_t bufferLength, uint8_t *buffer) override
    {
        if (!m_buffer)
            return reportResult(static_cast<uint32_t>(E_OUTOFMEMORY), kIsochronousSource);
        const uint32_t size = m_packets * m_packetSize;
        if (!buffer || bufferLength < 0 || static_cast<uint32_t>(bufferLength) != size)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kIsochronousSource);
        std::memcpy(data(), buffer, size);
        return S_OK;
    }

    HRESULT GetTransferParameters(int32_t *numberOfPackets, int32_t *packetSize, int32_t *length,
                                  int64_t *buffer) override
    {
        if (!numberOfPackets || !packetSize || !length || !buffer)
            return E_POINTER;
        *numberOfPackets = static_cast<int32_t>(m_packets);
        *packetSize = static_cast<int32_t>(m_packetSize);
        *length = static_cast<int32_t>((m_packetSize + kDescriptorSize) * m_packets);
        *buffer = static_cast<int64_t>(reinterpret_cast<intptr_t>(m_buffer.get()));
        return S_OK;
    }

    HRESULT Invoke(DISPID member, uint16_t flags, std::vector<Variant> &args, Variant *result,
                   ExcepInfo *exception) override
    {
        (void)flags;
        HRESULT hr;
        switch (member) {
        case 1: {
            int32_t size, count;
            if (args.size() != 2)
                return DISP_E_BADPARAMCOUNT;
            if (!argI4(args[0], &size) || !argI4(args[1], &count))
                return DISP_E_TYPEMISMATCH;
            hr = Initialize(size, count);
            break;
        }
        case 2:
        case 3: {
            int32_t n, v = 0;
            if (args.size() != 1)
                return DISP_E_BADPARAMCOUNT;
            if (!argI4(args[0], &n))
                return DISP_E_TYPEMISMATCH;
            hr = member == 2 ? get_Status(n, &v) : get_Length(n, &v);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i4(v);
            break;
        }
        case 4: {
            int32_t len, got = 0;
            if (args.size() != 2)
                return DISP_E_BADPARAMCOUNT;
            if (!argI4(args[0], &len))
                return DISP_E_TYPEMISMATCH;
            hr = GetData(len, argRef<uint8_t>(args[1], VT_UI1), &got);
            if (SUCCEEDED(hr) && result)
                *result = Variant::i4(got);
            break;
        }
        case 5: {
            int32_t len;
            if (args.size() != 2)
                return DISP_E_BADPARAMCOUNT;
            if (!argI4(args[0], &len))
                return DISP_E_TYPEMISMATCH;
            hr = SetData(len, argRef<uint8_t>(args[1], VT_UI1));
            break;
        }
        case 6: {
            if (args.size() != 4)
                return DISP_E_BADPARAMCOUNT;
            int32_t n, size, len;
            int64_t addr;
            hr = GetTransferParameters(&n, &size, &len, &addr);
            if (SUCCEEDED(hr)
                && !(setOut(args[0], n) && setOut(args[1], size) && setOut(args[2], len) && setOut(args[3], addr)))
                return DISP_E_TYPEMISMATCH;
            break;
        }
        default: return DISP_E_MEMBERNOTFOUND;
        }
        return finishInvoke(hr, exception);
    }

    HRESULT GetIDsOfNames(const std::string &name, DISPID *id) override
    {
        return lookupName(kNames, std::size(kNames), name, id);
    }

private:
    HRESULT descriptorField(int32_t n, uint32_t offset, int32_t *out)
    {
        if (!m_buffer)
            return reportResult(static_cast<uint32_t>(E_OUTOFMEMORY), kIsochronousSource);
        if (!out || n < 0 || static_cast<uint32_t>(n) >= m_packets)
            return reportResult(static_cast<uint32_t>(E_INVALIDARG), kIsochronousSource);
        *out = static_cast<int32_t>(read32(m_buffer.get() + static_cast<size_t>(n) * kDescriptorSize + offset));
        return S_OK;
    }
    uint8_t *data() { return m_buffer.get() + static_cast<size_t>(m_packets) * kDescriptorSize; }

    std::unique_ptr<uint8_t[]> m_buffer;
    uint32_t m_packets = 0;
    uint32_t m_packetSize = 0;
};

} // namespace

IDispatch *createIsochronousTransfer() { return new (std::nothrow) IsochronousTransferObject; }

} // namespace kesto::com
