#pragma once
// A DLL that throws a C++ exception out of one of its functions, to prove
// that the program and its DLLs share one C++ runtime.
#include <string>

#ifdef QW_TEST_THROW_BUILD
#define QW_TEST_THROW_API __declspec(dllexport)
#else
#define QW_TEST_THROW_API __declspec(dllimport)
#endif

QW_TEST_THROW_API void ThrowFromDll(const std::string& what);
