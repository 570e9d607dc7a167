#pragma once

// The component layer: registry, creation by ProgID, property bag, late-bound access.
#include "platform/com/object.h"
#include "platform/com/propertybag.h"
#include "platform/com/registry.h"
