#include "link/SerialDriver.h"

#include "link/ComPorts.h"
#include "link/PedalWire.h"
#include "platform/Clock.h"
#include "platform/Utf16_win32.h"

// The device class and property keys are defined in this file.
#include <initguid.h>
#include <devguid.h>
#include <devpkey.h>
#include <setupapi.h>

#include <algorithm>

namespace kv {

struct SerialDriver::SystemPort {
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The read timeout now set: 0 = reads return at once with what is
    // queued; otherwise a read waits up to this many milliseconds for its
    // first byte. MAXDWORD: not set yet.
    DWORD wait_ms = MAXDWORD;
};

namespace {

// Bytes taken from the driver ahead of a read, at most.
constexpr size_t kReceiveBufferLimit = 65536;

// "COM5", "\\.\COM5" and "//./COM5" all name the device "\\.\COM5"; the
// prefix is what opens COM10 and above.
std::wstring device_name(const std::string& path)
{
    std::string name = path;
    if (name.rfind("//./", 0) == 0 || name.rfind("\\\\.\\", 0) == 0) name.erase(0, 4);
    return L"\\\\.\\" + win32::widen(name);
}

bool set_read_wait(HANDLE h, DWORD* now_ms, DWORD wait_ms);

// Raw 8N1 at `baud`, no flow control, DTR and RTS on (the bridge's lines as
// the pedal expects them).
bool apply_line_settings(HANDLE h, uint32_t baud)
{
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(h, &dcb)) return false;
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(h, &dcb);
}

// A SetupAPI property of a device as UTF-8, empty when it has none.
std::string device_text(HDEVINFO set, SP_DEVINFO_DATA& device, const DEVPROPKEY& key)
{
    DEVPROPTYPE type = 0;
    DWORD size = 0;
    ::SetupDiGetDevicePropertyW(set, &device, &key, &type, nullptr, 0, &size, 0);
    if (size < sizeof(wchar_t) || type != DEVPROP_TYPE_STRING) return {};
    std::wstring text(size / sizeof(wchar_t), L'\0');
    if (!::SetupDiGetDevicePropertyW(set, &device, &key, &type, reinterpret_cast<PBYTE>(text.data()), size, nullptr, 0))
        return {};
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return win32::narrow(text);
}

std::string instance_id(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    DWORD size = 0;
    ::SetupDiGetDeviceInstanceIdW(set, &device, nullptr, 0, &size);
    if (size == 0) return {};
    std::wstring id(size, L'\0');
    if (!::SetupDiGetDeviceInstanceIdW(set, &device, id.data(), size, nullptr)) return {};
    while (!id.empty() && id.back() == L'\0') id.pop_back();
    return win32::narrow(id);
}

// "COM5" from the device's registry key.
std::string port_name(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    std::string out;
    if (::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        out = win32::narrow(name);
    ::RegCloseKey(key);
    return out;
}

}   // namespace

void SerialDriver::list_system_ports(std::vector<Listed>& out)
{
    const HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        ComPortReport report;
        report.instance_id = instance_id(set, device);
        report.description = device_text(set, device, DEVPKEY_Device_BusReportedDeviceDesc);
        report.port_name = port_name(set, device);
        const auto candidate = pedal_candidate(report);
        if (!candidate) continue;
        Listed d;
        d.path = candidate->path;
        d.info.description = candidate->description;
        d.info.serial_number = candidate->serial_number;
        out.push_back(std::move(d));
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

FtStatus SerialDriver::line_state(const Port& port) const
{
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(port.system->handle, &errors, &status) ? FT_OK : FT_IO_ERROR;
}

FtStatus SerialDriver::open_path(const std::string& path, FtHandle* handle)
{
    if (!handle) return FT_INVALID_PARAMETER;
    *handle = 0;
    holder_ = 0;
    // No sharing: the port is this program's until the exchange closes it.
    const HANDLE h =
        ::CreateFileW(device_name(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = ::GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return FT_DEVICE_NOT_FOUND;
        // Taken by another program; Windows does not say which.
        if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION) holder_ = -1;
        return FT_DEVICE_NOT_OPENED;
    }
    auto port = std::make_shared<SystemPort>();
    port->handle = h;
    auto baud = baud_.find(path);
    if (::GetFileType(h) != FILE_TYPE_CHAR || !apply_line_settings(h, baud == baud_.end() ? kWireBaud : baud->second) ||
        !set_read_wait(h, &port->wait_ms, 0)) {
        ::CloseHandle(h);
        return FT_DEVICE_NOT_OPENED;
    }
    // Nothing from before this exchange may be taken for its answer; what
    // is still on its way out stays.
    ::PurgeComm(h, PURGE_RXCLEAR | PURGE_RXABORT);

    FtHandle id = next_handle_++;
    if (next_handle_ == 0) next_handle_ = 1;
    Port p;
    p.path = path;
    p.system = std::move(port);
    ports_[id] = std::move(p);
    *handle = id;
    return FT_OK;
}

int SerialDriver::flock_holder(const std::string&, const std::string&) { return -1; }

FtStatus SerialDriver::close(FtHandle handle)
{
    auto it = ports_.find(handle);
    if (it == ports_.end()) return FT_INVALID_HANDLE;
    const HANDLE h = it->second.system->handle;
    ports_.erase(it);
    ::CloseHandle(h);
    return FT_OK;
}

namespace {

bool set_read_wait(HANDLE h, DWORD* now_ms, DWORD wait_ms)
{
    if (*now_ms == wait_ms) return true;
    COMMTIMEOUTS t{};
    // MAXDWORD, 0, 0: a read returns at once with what is queued.
    // MAXDWORD, MAXDWORD, n: it returns as soon as a byte is there, or
    // after n ms with nothing.
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = wait_ms == 0 ? 0 : MAXDWORD;
    t.ReadTotalTimeoutConstant = wait_ms;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = 0;   // writes: see SerialDriver::write
    if (!::SetCommTimeouts(h, &t)) return false;
    *now_ms = wait_ms;
    return true;
}

}   // namespace

FtStatus SerialDriver::write(FtHandle handle, const uint8_t* data, uint32_t len, uint32_t* written)
{
    if (written) *written = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    COMMTIMEOUTS t{};
    if (!::GetCommTimeouts(port->system->handle, &t)) return FT_IO_ERROR;
    if (t.WriteTotalTimeoutConstant != port->write_ms) {
        t.WriteTotalTimeoutConstant = port->write_ms;
        if (!::SetCommTimeouts(port->system->handle, &t)) return FT_IO_ERROR;
    }
    DWORD done = 0;
    const BOOL ok = len == 0 || ::WriteFile(port->system->handle, data, len, &done, nullptr);
    if (written) *written = done;
    if (!ok) return FT_IO_ERROR;
    return FT_OK;
}

FtStatus SerialDriver::read(FtHandle handle, uint8_t* data, uint32_t len, uint32_t* got)
{
    if (got) *got = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (len > 0 && !data) return FT_INVALID_PARAMETER;
    uint32_t done = uint32_t(std::min<size_t>(len, port->received.size()));
    if (done > 0) {
        std::copy_n(port->received.begin(), done, data);
        port->received.erase(port->received.begin(), port->received.begin() + done);
    }
    FtStatus result = FT_OK;
    if (done < len) {
        if (!set_read_wait(port->system->handle, &port->system->wait_ms, 0)) {
            result = FT_IO_ERROR;
        } else {
            DWORD n = 0;
            if (::ReadFile(port->system->handle, data + done, len - done, &n, nullptr)) done += n;
            else result = FT_IO_ERROR;
        }
    }
    if (got) *got = done;
    return result;
}

FtStatus SerialDriver::take_waiting(Port& port)
{
    if (!set_read_wait(port.system->handle, &port.system->wait_ms, 0)) return FT_IO_ERROR;
    uint8_t chunk[1024];
    while (port.received.size() < kReceiveBufferLimit) {
        const DWORD room = DWORD(std::min(sizeof chunk, kReceiveBufferLimit - port.received.size()));
        DWORD n = 0;
        if (!::ReadFile(port.system->handle, chunk, room, &n, nullptr)) return FT_IO_ERROR;
        if (n == 0) return FT_OK;
        port.received.insert(port.received.end(), chunk, chunk + n);
    }
    return FT_OK;
}

FtStatus SerialDriver::get_queue_status(FtHandle handle, uint32_t* rx_bytes)
{
    if (rx_bytes) *rx_bytes = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    // The bytes are taken into our own queue: the driver's count is not
    // reported alike by every port (a pseudo-terminal behind Wine).
    if (take_waiting(*port) != FT_OK) return FT_IO_ERROR;
    if (rx_bytes) *rx_bytes = uint32_t(port->received.size());
    return FT_OK;
}

FtStatus SerialDriver::get_status(FtHandle handle, uint32_t* rx_bytes, uint32_t* tx_bytes, uint32_t* events)
{
    if (rx_bytes) *rx_bytes = 0;
    if (tx_bytes) *tx_bytes = 0;
    if (events) *events = 0;
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (take_waiting(*port) != FT_OK) return FT_IO_ERROR;
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port->system->handle, &errors, &status)) return FT_IO_ERROR;
    if (rx_bytes) *rx_bytes = uint32_t(port->received.size());
    if (tx_bytes) *tx_bytes = status.cbOutQue;
    return FT_OK;
}

FtStatus SerialDriver::purge(FtHandle handle, uint32_t mask)
{
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    const bool rx = mask & FT_PURGE_RX;
    const bool tx = mask & FT_PURGE_TX;
    if (!rx && !tx) return FT_INVALID_PARAMETER;
    if (rx) port->received.clear();
    const DWORD flags = (rx ? PURGE_RXCLEAR | PURGE_RXABORT : 0) | (tx ? PURGE_TXCLEAR | PURGE_TXABORT : 0);
    return ::PurgeComm(port->system->handle, flags) ? FT_OK : FT_IO_ERROR;
}

// A Windows port has nothing to poll on; the wait reads instead.
void SerialDriver::set_wake_threshold(Port&, uint32_t) {}

int SerialDriver::receive_descriptor(FtHandle handle, uint32_t bytes, bool* ready)
{
    if (ready) *ready = false;
    Port* port = find(handle);
    if (!port || take_waiting(*port) != FT_OK || port->received.size() >= bytes) {
        if (ready) *ready = true;
    }
    return -1;
}

bool SerialDriver::wait_receive(FtHandle handle, uint32_t bytes, double seconds)
{
    Clock& clock = system_clock();
    const double deadline = clock.now() + seconds;
    for (;;) {
        Port* port = find(handle);
        if (!port || take_waiting(*port) != FT_OK || port->received.size() >= bytes) return true;
        const double left = deadline - clock.now();
        if (left <= 0) return true;
        // Waits for the next byte, at most until the deadline.
        const DWORD wait_ms = DWORD(std::clamp(left * 1000.0, 1.0, 60000.0));
        if (!set_read_wait(port->system->handle, &port->system->wait_ms, wait_ms)) return true;
        uint8_t chunk[512];
        const DWORD want = DWORD(std::min<size_t>(sizeof chunk, bytes - port->received.size()));
        DWORD n = 0;
        if (!::ReadFile(port->system->handle, chunk, want, &n, nullptr)) return true;
        port->received.insert(port->received.end(), chunk, chunk + n);
    }
}

FtStatus SerialDriver::set_usb_parameters(FtHandle handle, uint32_t, uint32_t)
{
    // The driver sizes its own transfers.
    return find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

FtStatus SerialDriver::set_timeouts(FtHandle handle, uint32_t, uint32_t write_ms)
{
    // Reads never block here; only the write timeout matters.
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    port->write_ms = write_ms;
    return FT_OK;
}

FtStatus SerialDriver::set_baud_rate(FtHandle handle, uint32_t baud)
{
    Port* port = find(handle);
    if (!port) return FT_INVALID_HANDLE;
    if (baud == 0) return FT_INVALID_BAUD_RATE;
    if (!apply_line_settings(port->system->handle, baud)) return FT_INVALID_BAUD_RATE;
    baud_[port->path] = baud;
    return FT_OK;
}

}   // namespace kv
