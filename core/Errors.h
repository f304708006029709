// SPDX-License-Identifier: MIT
#pragma once

// The failures that end a batch, a sweep or a plot before its end belong to
// the one family of model/Exception.h.
#include "model/Exception.h"
