// The operations every kind of device object of this component implements,
// declared once: IAD_Device, IAD_KeyStorage and IAD_CryptoDevice in slot
// order, the reserved slots answering E_NOTIMPL. Used inside the class body
// of the folder store's devices (device.h) and of PKCS#11 tokens
// (pkcs11/token_device.h).
#pragma once

#include "base/com_support.h"

// Slots 8 and 3 are reserved in more than one interface; one answer each.
#define NODYX_DEVICE_METHODS                                                                                      \
  /* IAD_Device */                                                                                                \
  HRESULT STDMETHODCALLTYPE GetID(DWORD* idSize, BYTE* id) override;                                              \
  HRESULT STDMETHODCALLTYPE GetIDText(char* text) override;                                                       \
  HRESULT STDMETHODCALLTYPE GetDeviceType(IAD_DeviceType** out) override;                                         \
  HRESULT STDMETHODCALLTYPE GetDisplayName(char* name) override;                                                  \
  HRESULT STDMETHODCALLTYPE GetSystemName(char* name) override;                                                   \
  HRESULT STDMETHODCALLTYPE GetSizeValue(DWORD* value) override;                                                  \
  HRESULT STDMETHODCALLTYPE GetRoom(DWORD* value) override;                                                       \
  HRESULT STDMETHODCALLTYPE PresentPIN(const char* pin) override;                                                 \
  HRESULT STDMETHODCALLTYPE GetDefaultContainer(DWORD* size, char* name) override;                                \
  NODYX_RESERVED_SLOT(3)                                                                                          \
  NODYX_RESERVED_SLOT(4)                                                                                          \
  NODYX_RESERVED_SLOT(8)                                                                                          \
  NODYX_RESERVED_SLOT(9)                                                                                          \
  NODYX_RESERVED_SLOT(13)                                                                                         \
  NODYX_RESERVED_SLOT(14)                                                                                         \
  NODYX_RESERVED_SLOT(15)                                                                                         \
  NODYX_RESERVED_SLOT(16)                                                                                         \
  NODYX_RESERVED_SLOT(17)                                                                                         \
  NODYX_RESERVED_SLOT(18)                                                                                         \
  NODYX_RESERVED_SLOT(19)                                                                                         \
  NODYX_RESERVED_SLOT(20)                                                                                         \
  NODYX_RESERVED_SLOT(21)                                                                                         \
  NODYX_RESERVED_SLOT(22)                                                                                         \
  /* IAD_KeyStorage */                                                                                            \
  HRESULT STDMETHODCALLTYPE Read(IAD_Device* device, const char* name, BYTE* buffer, DWORD* count) override;      \
  HRESULT STDMETHODCALLTYPE Write(IAD_Device* device, const char* name, const BYTE* data, DWORD* count) override; \
  HRESULT STDMETHODCALLTYPE Delete(IAD_Device* device, const char* name) override;                                \
  HRESULT STDMETHODCALLTYPE Exists(IAD_Device* device, const char* name, BOOL* exists) override;                  \
  HRESULT STDMETHODCALLTYPE EnumItems(IAD_EnumStorageItems** out) override;                                       \
  /* IAD_CryptoDevice */                                                                                          \
  HRESULT STDMETHODCALLTYPE OpenContainer(IAD_Device* device, const char* name, IAD_Container** out) override;    \
  HRESULT STDMETHODCALLTYPE EnumContainers(IAD_Device* device, IAD_EnumContainers** out) override;                \
  HRESULT STDMETHODCALLTYPE GetFlag(IAD_Device* device, int* flag) override;
