// Symbol export markers. Both libraries build with hidden visibility; only what
// carries one of these markers is visible to the programs that load them.
#pragma once

#define KVO_DEVICE_API __attribute__((visibility("default")))
#define KVO_HOST_API __attribute__((visibility("default")))
