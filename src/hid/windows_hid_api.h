// The Win32 calls behind the Windows HID layer, reached through one table so
// that tests can stand in for a failing platform. The program only ever uses
// the real functions.
#pragma once

#include <windows.h>
#include <setupapi.h>

// The HID client headers declare their functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

struct WindowsHidApi {
  decltype(&::HidD_GetHidGuid) HidD_GetHidGuid;
  decltype(&::SetupDiGetClassDevsA) SetupDiGetClassDevsA;
  decltype(&::SetupDiEnumDeviceInterfaces) SetupDiEnumDeviceInterfaces;
  decltype(&::SetupDiGetDeviceInterfaceDetailA) SetupDiGetDeviceInterfaceDetailA;
  decltype(&::SetupDiDestroyDeviceInfoList) SetupDiDestroyDeviceInfoList;
  decltype(&::CreateFileA) CreateFileA;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::HidD_GetAttributes) HidD_GetAttributes;
  decltype(&::HidD_GetPreparsedData) HidD_GetPreparsedData;
  decltype(&::HidP_GetCaps) HidP_GetCaps;
  decltype(&::HidD_FreePreparsedData) HidD_FreePreparsedData;
  decltype(&::HidD_SetNumInputBuffers) HidD_SetNumInputBuffers;
  decltype(&::WriteFile) WriteFile;
  decltype(&::ReadFile) ReadFile;
  decltype(&::MessageBoxA) MessageBoxA;
};

// The real platform functions.
WindowsHidApi RealWindowsHidApi();

extern WindowsHidApi g_windows_hid_api;
