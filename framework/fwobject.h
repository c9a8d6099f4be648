#pragma once
// Run-time class information: every framework object can say what class it
// is, whether it is a kind of another class, and the classes that templates
// make (documents, frames, views) can be created from their class record.
//
//   // header
//   class CQWDoc : public fw::Document {
//       FW_DECLARE_DYNCREATE(CQWDoc)
//   };
//   // source
//   FW_IMPLEMENT_DYNCREATE(CQWDoc, fw::Document)
//
//   obj->IsKindOf(FW_RUNTIME_CLASS(fw::View));
//   fw::Object* o = FW_RUNTIME_CLASS(CQWDoc)->CreateObject();
//   auto* doc = fw::DynamicDowncast<CQWDoc>(o);
//
// FW_DECLARE_DYNAMIC gives the class record without creation; classes whose
// objects are made by class need a default constructor and DYNCREATE. The
// declaration macros leave the class in private access: write an access
// specifier after them.
// Class records are found by name too (RuntimeClass::FromName).
#include <string>

#include "framework/fwexport.h"

namespace fw {

class Object;

class QWFW_API RuntimeClass {
public:
    using Factory = Object* (*)();
    RuntimeClass(const char* name, const RuntimeClass* base, Factory factory);
    ~RuntimeClass();
    RuntimeClass(const RuntimeClass&) = delete;
    RuntimeClass& operator=(const RuntimeClass&) = delete;

    const char* name() const { return name_; }
    const RuntimeClass* base() const { return base_; }
    bool can_create() const { return factory_ != nullptr; }

    // True when this class is `other` or derives from it.
    bool IsDerivedFrom(const RuntimeClass* other) const;
    // A new object of this class, or null when the class cannot be created
    // by class (or its constructor threw).
    Object* CreateObject() const;

    // The record of a class by its name, or null.
    static const RuntimeClass* FromName(const std::string& name);

private:
    const char* name_;
    const RuntimeClass* base_;
    Factory factory_;
};

class QWFW_API Object {
public:
    virtual ~Object();
    static const RuntimeClass class_info;
    virtual const RuntimeClass* GetRuntimeClass() const;
    bool IsKindOf(const RuntimeClass* cls) const;

protected:
    Object() = default;
};

template <class T>
T* DynamicDowncast(Object* o) {
    return o && o->IsKindOf(&T::class_info) ? static_cast<T*>(o) : nullptr;
}

} // namespace fw

#define FW_RUNTIME_CLASS(cls) (&cls::class_info)

#define FW_DECLARE_DYNAMIC(cls)                                      \
public:                                                              \
    static const ::fw::RuntimeClass class_info;                      \
    const ::fw::RuntimeClass* GetRuntimeClass() const override;      \
                                                                     \
private:

#define FW_DECLARE_DYNCREATE(cls)                                    \
public:                                                              \
    static ::fw::Object* CreateObject();                             \
    FW_DECLARE_DYNAMIC(cls)

#define FW_IMPLEMENT_DYNAMIC(cls, base_cls)                                          \
    const ::fw::RuntimeClass cls::class_info{#cls, &base_cls::class_info, nullptr}; \
    const ::fw::RuntimeClass* cls::GetRuntimeClass() const { return &class_info; }

#define FW_IMPLEMENT_DYNCREATE(cls, base_cls)                                                \
    ::fw::Object* cls::CreateObject() { return new cls; }                                   \
    const ::fw::RuntimeClass cls::class_info{#cls, &base_cls::class_info, &cls::CreateObject}; \
    const ::fw::RuntimeClass* cls::GetRuntimeClass() const { return &class_info; }
