#pragma once
// Import/export of the framework DLL.
#ifdef QWFW_BUILD
#define QWFW_API __declspec(dllexport)
#else
#define QWFW_API __declspec(dllimport)
#endif
