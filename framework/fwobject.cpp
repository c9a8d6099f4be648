#include "framework/fwobject.h"

#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace fw {

namespace {
// Every class record of the process, in the order their modules made them.
// Built during static initialisation, so it is a function-local object.
std::vector<const RuntimeClass*>& Registry() {
    static std::vector<const RuntimeClass*> all;
    return all;
}
std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
} // namespace

RuntimeClass::RuntimeClass(const char* name, const RuntimeClass* base, Factory factory)
    : name_(name), base_(base), factory_(factory) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    Registry().push_back(this);
}

RuntimeClass::~RuntimeClass() {
    // A module that is unloaded takes its classes with it.
    std::lock_guard<std::mutex> lock(RegistryLock());
    auto& all = Registry();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (*it == this) {
            all.erase(it);
            break;
        }
    }
}

bool RuntimeClass::IsDerivedFrom(const RuntimeClass* other) const {
    for (const RuntimeClass* c = this; c; c = c->base_)
        if (c == other) return true;
    return false;
}

Object* RuntimeClass::CreateObject() const {
    if (!factory_) return nullptr;
    try {
        return factory_();
    } catch (...) {
        return nullptr;
    }
}

const RuntimeClass* RuntimeClass::FromName(const std::string& name) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const RuntimeClass* c : Registry())
        if (name == c->name_) return c;
    return nullptr;
}

const RuntimeClass Object::class_info{"fw::Object", nullptr, nullptr};

Object::~Object() = default;

const RuntimeClass* Object::GetRuntimeClass() const { return &class_info; }

bool Object::IsKindOf(const RuntimeClass* cls) const {
    return GetRuntimeClass()->IsDerivedFrom(cls);
}

} // namespace fw
