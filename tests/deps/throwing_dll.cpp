#include "tests/deps/throwing_dll.h"

#include <stdexcept>

void ThrowFromDll(const std::string& what) {
    throw std::runtime_error(what);
}
