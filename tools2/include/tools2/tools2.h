// The whole toolkit in one include.
#pragma once

#include "tools2/errors.h"
#include "tools2/file.h"
#include "tools2/filename.h"
#include "tools2/folder.h"
#include "tools2/ident_obj.h"
#include "tools2/path_utils.h"
#include "tools2/registry.h"
#include "tools2/status.h"
#include "tools2/too_string.h"
