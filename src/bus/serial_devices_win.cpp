#include <windows.h>

#include <vector>

#include "bus/serial_devices.h"

namespace {

std::string Utf8(const wchar_t* text, std::size_t length) {
  if (length == 0) return {};
  const int wide = static_cast<int>(length);
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, wide, result.data(), size, nullptr, nullptr);
  return result;
}

}  // namespace

// Each serial port's driver keeps a value here while its device is present: the driver's name
// of the device (\Device\VCP0) and the port's name (COM5). Reading them costs a few system calls,
// where listing the ports asks every device for its properties. An adapter plugged in where
// another was gets a port name of its own when it has a serial number of its own; one without
// (the same kind in the same USB socket) has no other identity to tell either, and the list is
// made afresh every half minute anyway.
std::optional<TDevicesFingerprint> SerialDevicesFingerprint() {
  HKEY key = nullptr;
  const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0,
                                       KEY_QUERY_VALUE, &key);
  // The key is made with the first serial port's driver.
  if (opened == ERROR_FILE_NOT_FOUND) return TDevicesFingerprint{};
  if (opened != ERROR_SUCCESS) return std::nullopt;
  DWORD longestName = 0;
  DWORD largestData = 0;
  bool sound = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                &longestName, &largestData, nullptr, nullptr) == ERROR_SUCCESS;
  std::vector<wchar_t> name(longestName + 1);
  std::vector<wchar_t> data(largestData / sizeof(wchar_t) + 1);
  TDevicesFingerprint fingerprint;
  for (DWORD index = 0; sound; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &dataBytes);
    if (status == ERROR_NO_MORE_ITEMS) break;
    // A value that grew meanwhile (a device came): without a fingerprint the list is made anew.
    if (status != ERROR_SUCCESS) {
      sound = false;
      break;
    }
    std::size_t dataLength = type == REG_SZ ? dataBytes / sizeof(wchar_t) : 0;
    while (dataLength > 0 && data[dataLength - 1] == L'\0')
      --dataLength;
    fingerprint.insert(Utf8(name.data(), nameLength) + '=' + Utf8(data.data(), dataLength));
  }
  RegCloseKey(key);
  if (!sound) return std::nullopt;
  return fingerprint;
}
