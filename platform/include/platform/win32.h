// The whole platform layer.
#pragma once

#include "platform/codepage.h"
#include "platform/com.h"
#include "platform/errors.h"
#include "platform/file.h"
#include "platform/format.h"
#include "platform/heap.h"
#include "platform/module.h"
#include "platform/registry.h"
#include "platform/resource.h"
#include "platform/sync.h"
#include "platform/system.h"
#include "platform/types.h"
#include "platform/wstring.h"
