#include "bench/call_counter.h"

#include <sqlite3.h>

namespace tarnwick::bench {

using automation::ObjectRef;
using automation::Variant;

namespace {

Variant wrap(Variant value, const std::shared_ptr<CallCounts>& counts);

class CountingObject : public automation::Dispatch {
public:
    CountingObject(ObjectRef inner, std::shared_ptr<CallCounts> counts)
        : inner_(std::move(inner)), counts_(std::move(counts)) {}

    Variant invoke(std::string_view name, automation::InvokeKind kind,
                   std::span<Variant> args) override {
        ++counts_->members;
        return wrap(inner_->invoke(name, kind, args), counts_);
    }

private:
    ObjectRef inner_;
    std::shared_ptr<CallCounts> counts_;
};

ObjectRef wrapObject(ObjectRef object, const std::shared_ptr<CallCounts>& counts) {
    if (!object) return object;
    return std::make_shared<CountingObject>(std::move(object), counts);
}

// Objects, and arrays of objects (a container's Children), come back wrapped.
Variant wrap(Variant value, const std::shared_ptr<CallCounts>& counts) {
    if (value.type() == automation::VarType::Object) return wrapObject(value.object(), counts);
    if (value.type() == automation::VarType::Array) {
        for (auto& item : value.array()) {
            if (item.type() == automation::VarType::Object)
                item = wrapObject(item.object(), counts);
        }
    }
    return value;
}

class CountingDirectory : public platform::Directory {
public:
    CountingDirectory(std::shared_ptr<platform::Directory> inner,
                      std::shared_ptr<CallCounts> counts)
        : inner_(std::move(inner)), counts_(std::move(counts)) {}

    ObjectRef bind(std::string_view path) override {
        ++counts_->binds;
        return wrapObject(inner_->bind(path), counts_);
    }

private:
    std::shared_ptr<platform::Directory> inner_;
    std::shared_ptr<CallCounts> counts_;
};

class CountingAdvapi32 : public platform::Advapi32 {
public:
    CountingAdvapi32(std::shared_ptr<platform::Advapi32> inner, std::shared_ptr<CallCounts> counts)
        : inner_(std::move(inner)), counts_(std::move(counts)) {}

    bool LookupAccountNameA(const char* systemName, const char* accountName, void* sid,
                            uint32_t* sidSize, char* domain, uint32_t* domainSize,
                            uint32_t* use) override {
        return count(), inner_->LookupAccountNameA(systemName, accountName, sid, sidSize, domain,
                                                   domainSize, use);
    }
    bool GetFileSecurityA(const char* fileName, uint32_t information, void* descriptor,
                          uint32_t length, uint32_t* needed) override {
        return count(), inner_->GetFileSecurityA(fileName, information, descriptor, length, needed);
    }
    bool SetFileSecurityA(const char* fileName, uint32_t information,
                          const platform::AbsoluteSecurityDescriptor* descriptor) override {
        return count(), inner_->SetFileSecurityA(fileName, information, descriptor);
    }
    bool InitializeSecurityDescriptor(platform::AbsoluteSecurityDescriptor* descriptor,
                                      uint32_t revision) override {
        return count(), inner_->InitializeSecurityDescriptor(descriptor, revision);
    }
    bool GetSecurityDescriptorDacl(const void* descriptor, bool* present, void** dacl,
                                   bool* defaulted) override {
        return count(), inner_->GetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
    }
    bool SetSecurityDescriptorDacl(platform::AbsoluteSecurityDescriptor* descriptor, bool present,
                                   void* dacl, bool defaulted) override {
        return count(), inner_->SetSecurityDescriptorDacl(descriptor, present, dacl, defaulted);
    }
    bool GetAclInformation(const void* acl, void* information, uint32_t length,
                           uint32_t informationClass) override {
        return count(), inner_->GetAclInformation(acl, information, length, informationClass);
    }
    bool InitializeAcl(void* acl, uint32_t length, uint32_t revision) override {
        return count(), inner_->InitializeAcl(acl, length, revision);
    }
    bool GetAce(const void* acl, uint32_t index, void** ace) override {
        return count(), inner_->GetAce(acl, index, ace);
    }
    bool AddAce(void* acl, uint32_t revision, uint32_t start, const void* aces,
                uint32_t length) override {
        return count(), inner_->AddAce(acl, revision, start, aces, length);
    }
    bool AddAccessAllowedAce(void* acl, uint32_t revision, uint32_t mask,
                             const void* sid) override {
        return count(), inner_->AddAccessAllowedAce(acl, revision, mask, sid);
    }
    uint32_t GetLengthSid(const void* sid) override { return count(), inner_->GetLengthSid(sid); }
    bool EqualSid(const void* a, const void* b) override { return count(), inner_->EqualSid(a, b); }
    uint32_t GetFileAttributesA(const char* fileName) override {
        return count(), inner_->GetFileAttributesA(fileName);
    }
    // Reads what the last call left; not a call of its own.
    uint32_t GetLastError() override { return inner_->GetLastError(); }

private:
    void count() { ++counts_->advapi32; }

    std::shared_ptr<platform::Advapi32> inner_;
    std::shared_ptr<CallCounts> counts_;
};

int countStatement(unsigned, void* context, void*, void*) {
    ++static_cast<CallCounts*>(context)->statements;
    return 0;
}

}  // namespace

CountingServices::CountingServices(platform::Services inner,
                                   platform::embedded::ObjectFactory objects,
                                   platform::embedded::Store& store)
    : counts_(std::make_shared<CallCounts>()), store_(store) {
    services_ = inner;
    services_.directory = std::make_shared<CountingDirectory>(inner.directory, counts_);
    services_.advapi32 = std::make_shared<CountingAdvapi32>(inner.advapi32, counts_);
    objects_ = [objects = std::move(objects), counts = counts_](std::string_view progId) {
        ++counts->createObject;
        return wrapObject(objects(progId), counts);
    };
    sqlite3_trace_v2(store_.db().handle(), SQLITE_TRACE_STMT, &countStatement, counts_.get());
}

CountingServices::~CountingServices() {
    sqlite3_trace_v2(store_.db().handle(), 0, nullptr, nullptr);
}

}  // namespace tarnwick::bench
