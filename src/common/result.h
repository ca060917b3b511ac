// The error vocabulary of every layer lives at the bottom of the stack, in the
// platform layer; this header makes it available under the common layer's name.
#ifndef TOMEVA_COMMON_RESULT_H_
#define TOMEVA_COMMON_RESULT_H_

#include "platform/result.h"

#endif  // TOMEVA_COMMON_RESULT_H_
