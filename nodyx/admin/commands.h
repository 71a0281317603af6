// The admin tool's commands, each working on the device store directly.
// Each returns the process exit code (keydepot's, report.h), reports its
// failure through Report and puts its result in Out() and Result().
#pragma once

#include "report.h"
#include "store/device_store.h"

#include <cstdint>
#include <optional>
#include <string>

namespace nodyx::admin {

struct CreateOptions {
  std::string device;
  std::int32_t type = 100;
  std::string idHex;  // empty: 8 random bytes
  std::optional<std::string> displayName;
  std::optional<std::string> systemName;
  std::string defaultContainer;
  std::uint32_t sizeValue = kDefaultDeviceBytes;
  std::uint32_t room = kDefaultDeviceBytes;
  bool noKeyStorage = false;
  bool crypto = false;
  std::int32_t cryptoFlag = 0;
  bool detached = false;
  std::uint32_t pinTryLimit = kDefaultPinTryLimit;
  std::string adminPinFile;  // set: the device gets an admin PIN, read from this file
};

// Reports a failure of the store; returns the exit code it stands for.
// `detail`: why a description was refused, when known.
int Fail(const std::string& what, HRESULT hr, const std::string& detail = {});
// Reports a failure of a local file (an input or output file): kLocalIo.
int FailLocal(const std::string& what, HRESULT hr, const std::string& detail = {});
// Loads a device's description, reporting a failure as an exit code.
int LoadDevice(const DeviceStore& store, const std::string& device, DeviceRecord* record);

int CreateDevice(const DeviceStore& store, const CreateOptions& options);
int ListDevices(const DeviceStore& store);
int ShowDevice(const DeviceStore& store, const std::string& device);
int RemoveDevice(const DeviceStore& store, const std::string& device);
int SetDetached(const DeviceStore& store, const std::string& device, bool detached);
int SetPin(const DeviceStore& store, const std::string& device, const std::string& pinFile);
int ClearPin(const DeviceStore& store, const std::string& device);
// Items are stored as keydepot stores them on a device: a 4-byte
// little-endian length, then the bytes. With raw, the bytes as they are.
int PutItem(const DeviceStore& store, const std::string& device, const std::string& item, const std::string& from,
            bool raw);
int GetItem(const DeviceStore& store, const std::string& device, const std::string& item, const std::string& to,
            bool raw);
int ListItems(const DeviceStore& store, const std::string& device);
int DeleteItem(const DeviceStore& store, const std::string& device, const std::string& item);
int AddContainer(const DeviceStore& store, const std::string& device, const std::string& container);
int ListContainers(const DeviceStore& store, const std::string& device);
int RemoveContainer(const DeviceStore& store, const std::string& device, const std::string& container);

}  // namespace nodyx::admin
