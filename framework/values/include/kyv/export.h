#pragma once
// Symbols of the shared libraries are hidden unless marked: KYV_API marks what the
// framework exports, KYV_PLUGIN_API the C entry points of a control library.
#define KYV_API __attribute__((visibility("default")))
#define KYV_PLUGIN_API extern "C" __attribute__((visibility("default")))
