/* KestoUsb: user-mode access to the recorder's USB driver.
 *
 * Plain C functions exported by libKestoUsb.so. Every transfer and query sends one control
 * code with its request record to the device's driver endpoint (see DRIVER_PROTOCOL.md) and
 * returns a 32-bit result code: 0 for success, a platform error code (87 invalid parameter,
 * 122 buffer too small, 8 out of memory, 997 pending) or a USB status code passed on from the
 * driver (0xE0100001 and up). The codes are the ones the Windows build used, so callers and
 * drivers written for it keep working.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KESTO_API __attribute__((visibility("default")))

typedef int32_t KESTO_BOOL;
typedef int32_t KESTO_HRESULT;
typedef void *KESTO_HANDLE;
typedef void *KESTO_HDEVNOTIFY;

#define KESTO_INVALID_HANDLE ((KESTO_HANDLE)(intptr_t)-1)

typedef struct KESTO_GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} KESTO_GUID;

/* The caller's record of an asynchronous request. Internal holds 259 while the request is
 * pending and the result code once it has completed; InternalHigh the bytes transferred.
 * hEvent is not used on this platform: wait with KestoWaitAsynchCompletion instead. */
typedef struct KESTO_OVERLAPPED {
    uintptr_t Internal;
    uintptr_t InternalHigh;
    uint32_t Offset;
    uint32_t OffsetHigh;
    void *hEvent;
} KESTO_OVERLAPPED;

/* A recipient of device notifications stands in for a window: the library calls its
 * procedure with the device-change message 0x0219, the event in wParam and a pointer to a
 * KESTO_DEV_BROADCAST_DEVICEINTERFACE record in lParam. The call comes from the library's
 * notifier thread. */
typedef struct KESTO_WINDOW KESTO_WINDOW;
typedef intptr_t (*KESTO_WNDPROC)(KESTO_WINDOW *window, uint32_t message, uintptr_t wParam, intptr_t lParam);
struct KESTO_WINDOW {
    KESTO_WNDPROC proc;
    void *context;
};
typedef KESTO_WINDOW *KESTO_HWND;

#define KESTO_WM_DEVICECHANGE 0x0219u
#define KESTO_DBT_DEVICEARRIVAL 0x8000u
#define KESTO_DBT_DEVICEQUERYREMOVE 0x8001u
#define KESTO_DBT_DEVICEQUERYREMOVEFAILED 0x8002u
#define KESTO_DBT_DEVICEREMOVEPENDING 0x8003u
#define KESTO_DBT_DEVICEREMOVECOMPLETE 0x8004u
#define KESTO_DBT_DEVICETYPESPECIFIC 0x8005u
#define KESTO_DBT_CONFIGCHANGED 0x0018u
#define KESTO_DBT_DEVTYP_DEVICEINTERFACE 5u

typedef struct KESTO_DEV_BROADCAST_DEVICEINTERFACE {
    uint32_t dbcc_size;
    uint32_t dbcc_devicetype;
    uint32_t dbcc_reserved;
    KESTO_GUID dbcc_classguid;
    char dbcc_name[1];
} KESTO_DEV_BROADCAST_DEVICEINTERFACE;

/* Control codes: device type 0x8000, any access; transfers use direct input buffering. */
#define KESTO_IOCTL_BULK_TRANSFER 0x80002001u
#define KESTO_IOCTL_CONTROL_TRANSFER 0x80002005u
#define KESTO_IOCTL_INTERRUPT_TRANSFER 0x80002009u
#define KESTO_IOCTL_ISOCHRONOUS_TRANSFER 0x8000200Du
#define KESTO_IOCTL_GET_DEVICE_DESCRIPTOR 0x80002010u
#define KESTO_IOCTL_GET_CONFIGURATION_DESCRIPTOR 0x80002014u
#define KESTO_IOCTL_GET_INTERFACE_DESCRIPTOR 0x80002018u
#define KESTO_IOCTL_GET_ENDPOINT_DESCRIPTOR 0x8000201Cu
#define KESTO_IOCTL_GET_STRING_DESCRIPTOR 0x80002020u
#define KESTO_IOCTL_GET_DRIVER_VERSION 0x80002024u
#define KESTO_IOCTL_CLEAR_STALL 0x80002028u
#define KESTO_IOCTL_GET_LANGUAGE_IDS 0x8000203Cu
#define KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS 0x80002040u
#define KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH 0x80002044u
#define KESTO_IOCTL_SELECT_INTERFACE 0x80002048u
#define KESTO_IOCTL_GET_DEVICE_GUID 0x8000204Cu
#define KESTO_IOCTL_GET_LINK_NAME 0x80002050u

/* Result codes the library itself produces. */
#define KESTO_ERROR_SUCCESS 0u
#define KESTO_ERROR_FILE_NOT_FOUND 2u
#define KESTO_ERROR_ACCESS_DENIED 5u
#define KESTO_ERROR_INVALID_HANDLE 6u
#define KESTO_ERROR_NOT_ENOUGH_MEMORY 8u
#define KESTO_ERROR_SHARING_VIOLATION 32u
#define KESTO_ERROR_INVALID_PARAMETER 87u
#define KESTO_ERROR_INSUFFICIENT_BUFFER 122u
#define KESTO_ERROR_INVALID_NAME 123u
#define KESTO_ERROR_FILENAME_EXCED_RANGE 206u
#define KESTO_WAIT_TIMEOUT 258u
#define KESTO_ERROR_NO_MORE_ITEMS 259u
#define KESTO_ERROR_OPERATION_ABORTED 995u
#define KESTO_ERROR_IO_PENDING 997u
#define KESTO_ERROR_DEVICE_NOT_CONNECTED 1167u
#define KESTO_ERROR_NOT_FOUND 1168u
#define KESTO_ERROR_TIMEOUT 1460u
#define KESTO_STATUS_PENDING 259u

#define KESTO_E_ACCESSDENIED ((KESTO_HRESULT)0x80070005)
#define KESTO_E_INVALIDARG ((KESTO_HRESULT)0x80070057)

#define KESTO_USB_STATUS_FIRST 0xE0100001u

/* ---- driver access ---- */
KESTO_API KESTO_HANDLE KestoOpenHandle(const char *linkName, uint32_t deviceInstance, KESTO_BOOL exclusive);
KESTO_API KESTO_HANDLE KestoOpenGuidHandle(const KESTO_GUID *interfaceGuid, uint32_t memberIndex, KESTO_BOOL exclusive);
KESTO_API KESTO_BOOL KestoCloseHandle(KESTO_HANDLE handle);

KESTO_API uint32_t KestoBulkTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t length, void *buffer,
                                     uint32_t *returned);
KESTO_API uint32_t KestoControlTransfer(KESTO_HANDLE handle, uint8_t requestType, uint8_t request, uint16_t value,
                                        uint16_t index, KESTO_BOOL hostToDevice, uint32_t length, void *buffer,
                                        uint32_t *returned);
KESTO_API uint32_t KestoInterruptTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t length, void *buffer,
                                          uint32_t *returned);
KESTO_API uint32_t KestoIsochronousTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t numberOfPackets,
                                            uint32_t packetSize, uint32_t length, void *transferBuffer,
                                            uint32_t *returned);

KESTO_API uint32_t KestoAsynchBulkTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t length, void *buffer,
                                           uint32_t *returned, KESTO_OVERLAPPED *overlapped);
KESTO_API uint32_t KestoAsynchControlTransfer(KESTO_HANDLE handle, uint8_t requestType, uint8_t request, uint16_t value,
                                              uint16_t index, KESTO_BOOL hostToDevice, uint32_t length, void *buffer,
                                              uint32_t *returned, KESTO_OVERLAPPED *overlapped);
KESTO_API uint32_t KestoAsynchInterruptTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t length, void *buffer,
                                                uint32_t *returned, KESTO_OVERLAPPED *overlapped);
KESTO_API uint32_t KestoAsynchIsochronousTransfer(KESTO_HANDLE handle, uint8_t endpoint, uint32_t numberOfPackets,
                                                  uint32_t packetSize, uint32_t length, void *transferBuffer,
                                                  uint32_t *returned, KESTO_OVERLAPPED *overlapped);
KESTO_API uint32_t KestoCheckAsynchCompletion(KESTO_HANDLE handle, uint32_t *returned, KESTO_OVERLAPPED *overlapped);

KESTO_API uint32_t KestoGetDeviceDescriptor(KESTO_HANDLE handle, void *descriptor18);
KESTO_API uint32_t KestoGetConfigDescriptor(KESTO_HANDLE handle, void *descriptor9);
KESTO_API uint32_t KestoGetInterfaceDescriptor(KESTO_HANDLE handle, void *descriptor9);
KESTO_API uint32_t KestoGetEndpointDescriptor(KESTO_HANDLE handle, uint8_t endpoint, void *descriptor7);
KESTO_API uint32_t KestoGetDriverVersion(KESTO_HANDLE handle, uint32_t *majorVersion, uint32_t *minorVersion);
KESTO_API uint32_t KestoClearStall(KESTO_HANDLE handle, uint8_t endpoint);
KESTO_API uint32_t KestoGetNumberOfLanguageIds(KESTO_HANDLE handle, uint16_t *numberOfIds);
KESTO_API uint32_t KestoGetLanguageIds(KESTO_HANDLE handle, uint16_t numberOfIds, uint16_t *languageIds);
KESTO_API uint32_t KestoGetStringDescriptorLength(KESTO_HANDLE handle, uint16_t languageId, uint32_t descriptorIndex,
                                                  uint32_t *length);
KESTO_API uint32_t KestoGetStringDescriptor(KESTO_HANDLE handle, uint16_t languageId, uint32_t descriptorIndex,
                                            uint32_t stringLength, char *text);
KESTO_API uint32_t KestoSelectInterface(KESTO_HANDLE handle, uint32_t interfaceNumber, uint32_t alternateSetting);
KESTO_API uint32_t KestoGetGuid(KESTO_HANDLE handle, KESTO_GUID *guid);
KESTO_API uint32_t KestoGetLinkname(KESTO_HANDLE handle, uint32_t stringLength, char *text);

KESTO_API KESTO_HDEVNOTIFY KestoRegisterDeviceNotification(KESTO_HWND recipient, void *notificationFilter,
                                                           uint32_t flags);
KESTO_API KESTO_BOOL KestoUnregisterDeviceNotification(KESTO_HDEVNOTIFY notification);

/* ---- additions of this platform (no ordinal) ----
 * The last error of the calling thread, as left by KestoOpenHandle, KestoOpenGuidHandle and
 * KestoRegisterDeviceNotification. */
KESTO_API uint32_t KestoGetLastError(void);
KESTO_API void KestoSetLastError(uint32_t code);

/* Waits up to timeoutMs (0xFFFFFFFF: no limit) for an asynchronous request. Returns what
 * KestoCheckAsynchCompletion would, or 258 when the time ran out and the request is still
 * pending. This is how a caller bounds a transfer: start it with the asynchronous form, wait,
 * and on 258 call KestoCancelAsynchTransfer before the buffer is reused or freed. */
KESTO_API uint32_t KestoWaitAsynchCompletion(KESTO_HANDLE handle, uint32_t *returned, KESTO_OVERLAPPED *overlapped,
                                             uint32_t timeoutMs);
/* Withdraws a pending asynchronous request: once this returns, the library no longer touches
 * the request's buffer or record. Returns 0 when the request was withdrawn (its record then
 * holds 995), 1168 when it had already completed. */
KESTO_API uint32_t KestoCancelAsynchTransfer(KESTO_HANDLE handle, KESTO_OVERLAPPED *overlapped);

/* The system's message for a platform error code and the library's text for a USB status
 * code (without line end); returns the number of bytes the full text needs. */
KESTO_API uint32_t KestoFormatMessage(uint32_t code, char *buffer, uint32_t bufferSize);

/* ---- trace buffer ---- */
KESTO_API KESTO_HRESULT KestoUsbTrace(const char *text, uint32_t maximumCount);
KESTO_API KESTO_HRESULT KestoUsbPrintf(const char *format, ...) __attribute__((format(printf, 1, 2)));
KESTO_API uint32_t WaitForTrace(int8_t slot, uint32_t reserved, uint32_t timeoutMs, void *record4100, int8_t *nextSlot,
                                uint32_t *length, uint32_t ownerKey);
KESTO_API KESTO_BOOL KestoUsbEnableTracing(uint32_t ownerKey, KESTO_BOOL enable);
KESTO_API void KestoClearTraceBuffer(void);
KESTO_API KESTO_BOOL KestoSetReadTraceOwnerKey(uint32_t ownerKey, KESTO_BOOL force);
KESTO_API KESTO_BOOL KestoReleaseReadTraceOwnerKey(uint32_t ownerKey);

#define KESTO_TRACE_SLOTS 5
#define KESTO_TRACE_TEXT_SIZE 4096
#define KESTO_TRACE_RECORD_SIZE 4100
#define KESTO_INFINITE 0xFFFFFFFFu

#ifdef __cplusplus
}
#endif
