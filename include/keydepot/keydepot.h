// keydepot: one include for applications.
#pragma once

#include "keydepot/export.h"
#include "keydepot/ad/component.h"
