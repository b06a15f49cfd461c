// The card driver of the system: device interfaces found through the setup
// API, requests through DeviceIoControl on the opened device path.
#include <cstdlib>
#include <new>

#include "platform/card_driver.h"
#include "platform/win32/win32.h"

#include <setupapi.h>

namespace tvx::platform::system_cards {
namespace {

// The device-interface classes the card driver registers.
const GUID kPciCards = {0x61474CA2, 0x8CB3, 0x423E, {0xB6, 0xD4, 0xE0, 0xCB, 0xC1, 0xF9, 0x1B, 0x6E}};
const GUID kPcieCards = {0xADF6A039, 0x7410, 0x4BFC, {0x83, 0x1F, 0x0D, 0x11, 0x2D, 0x85, 0x7A, 0xF5}};

const GUID& classId(CardClass cls) { return cls == CardClass::pcie ? kPcieCards : kPciCards; }

// The present devices of a class, destroyed with the object.
class DeviceSet {
public:
    explicit DeviceSet(const GUID& id)
        : set_(SetupDiGetClassDevsA(&id, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {}
    ~DeviceSet() {
        if (valid()) SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    bool valid() const { return set_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

class SystemDevice final : public CardDevice {
public:
    explicit SystemDevice(HANDLE h) : handle_(h) {}
    ~SystemDevice() override { CloseHandle(handle_); }
    SystemDevice(const SystemDevice&) = delete;
    SystemDevice& operator=(const SystemDevice&) = delete;

    // The system's driver answers its control requests at once; they are
    // not waited for with a limit.
    bool control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out, uint32_t outCapacity,
                 uint32_t* returned, uint32_t) override {
        DWORD got = 0;
        const BOOL ok = DeviceIoControl(handle_, code, const_cast<uint8_t*>(in), inLength, out, outCapacity, &got,
                                        nullptr);
        *returned = ok ? (got > outCapacity ? outCapacity : got) : 0;
        return ok != FALSE;
    }

private:
    HANDLE handle_;
};

}  // namespace

int count(CardClass cls, int limit) {
    const GUID& id = classId(cls);
    DeviceSet set(id);
    if (!set.valid()) return 0;
    int n = 0;
    while (n < limit) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!SetupDiEnumDeviceInterfaces(set.get(), nullptr, &id, static_cast<DWORD>(n), &data)) break;
        ++n;
    }
    return n;
}

CardOpenResult open(CardClass cls, int index, std::unique_ptr<CardDevice>* out) {
    const GUID& id = classId(cls);
    DeviceSet set(id);
    if (!set.valid()) return CardOpenResult::noDeviceSet;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (index < 0 || !SetupDiEnumDeviceInterfaces(set.get(), nullptr, &id, static_cast<DWORD>(index), &data))
        return CardOpenResult::noInterface;
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set.get(), &data, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return CardOpenResult::noDetail;
    // The detail record is freed on every path, as is the device set.
    auto* detail = static_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(std::calloc(1, size));
    if (!detail) return CardOpenResult::noDetail;
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.get(), &data, detail, size, nullptr, nullptr)) {
        std::free(detail);
        return CardOpenResult::noDetail;
    }
    HANDLE h = CreateFileA(detail->DevicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    std::free(detail);
    if (h == INVALID_HANDLE_VALUE) return CardOpenResult::cannotOpen;
    auto* device = new (std::nothrow) SystemDevice(h);
    if (!device) {
        CloseHandle(h);
        return CardOpenResult::cannotOpen;
    }
    out->reset(device);
    return CardOpenResult::ok;
}

}  // namespace tvx::platform::system_cards
