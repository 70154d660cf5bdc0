// The embedded platform's IIS metabase, reached as the IIS directory provider:
// a script's GetObject("IIS://WEBSERVER/W3SVC/2/Root") is bind() here.
//
// The keys live in the platform store (sqlite_storage.h); the computer name
// and IIS version come from the store's settings at each use; every bind and
// member call passes the fault injector first ("GetObject" with the full path
// for a bind, the member as called with the object's ADsPath otherwise). What
// keys do and which errors they raise is described in tree.h and
// key_object.h; an object's children are enumerated through its "Children"
// member, an Array of objects.
#pragma once

#include <memory>

#include "platform/directory.h"
#include "platform/embedded/faults.h"
#include "platform/embedded/metabase/tree.h"
#include "platform/embedded/state_module.h"
#include "platform/embedded/store.h"

namespace tarnwick::platform::embedded {

class Metabase : public Directory, public StateModule {
public:
    Metabase(std::shared_ptr<Store> store, std::shared_ptr<FaultInjector> faults);

    automation::ObjectRef bind(std::string_view path) override;

    // The keys of a fresh IIS installation (see MetabaseTree::seedDefaults);
    // a fresh platform calls it once its settings are saved.
    void seedDefaults();

    // StateModule "metabase"; the document's form is described in document.h.
    std::string_view name() const override { return "metabase"; }
    nlohmann::json dump() override;
    void load(const nlohmann::json& document) override;

private:
    std::shared_ptr<metabase::MetabaseStorage> storage_;
    std::shared_ptr<metabase::MetabaseTree> tree_;
};

}  // namespace tarnwick::platform::embedded
