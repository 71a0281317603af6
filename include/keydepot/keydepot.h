// keydepot: one include for applications.
#pragma once

#include "keydepot/export.h"
#include "keydepot/ad/component.h"
#include "keydepot/ad/containers.h"
#include "keydepot/ad/device_filter.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/pin_status.h"
#include "keydepot/ad/ref_cnt.h"
#include "keydepot/ad/saved_pin.h"
#include "keydepot/ad/session.h"
#include "keydepot/ad/token_info.h"
#include "keydepot/cert_info.h"
#include "keydepot/storage.h"
#include "keydepot/storage_path.h"
