#pragma once
// Import/export of the framework DLL. The host build compiles the portable
// part (files, archive) into a static library: no import or export there.
#if defined(QWFW_STATIC)
#define QWFW_API
#elif defined(QWFW_BUILD)
#define QWFW_API __declspec(dllexport)
#else
#define QWFW_API __declspec(dllimport)
#endif
