#pragma once
// Export/import marker for the classes and functions of the core library.
#ifdef VX_CORE_BUILD
#define VX_CORE_API __declspec(dllexport)
#else
#define VX_CORE_API __declspec(dllimport)
#endif
