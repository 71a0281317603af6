// ADPathProps: the library's implementation of a parsed device path.
#pragma once

#include "keydepot/ad/device_path.h"

namespace keydepot::detail {

class ADPathProps final : public ad::IADPathProps {
 public:
  ADPathProps(EAD_DeviceType type, ad::DeviceId id, std::string container)
      : type_(type), id_(std::move(id)), container_(std::move(container)) {}

  EAD_DeviceType GetDeviceType() const override { return type_; }
  ad::DeviceId GetDeviceIDBytes() const override { return id_; }
  HRESULT GetDeviceIDText(std::string& text) const override;
  std::string GetContainerName() const override { return container_; }

 private:
  const EAD_DeviceType type_;
  const ad::DeviceId id_;
  const std::string container_;
};

}  // namespace keydepot::detail
