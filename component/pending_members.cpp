// Members whose operations have not landed yet answer with an automation
// error, so a page sees a clear failure instead of a silent Empty.
#include <string>

#include "automation/error.h"
#include "component/control.h"

namespace tarnwick::component {

namespace {
[[noreturn]] void notYet(const char* member) {
    automation::raise(automation::errors::kNotImplemented,
                      std::string(member) + " is not implemented yet");
}
}  // namespace

Variant Control::CreateSite(const Variant&, const Variant&, const Variant&, const Variant&,
                            const Variant&, const Variant&, const Variant&) {
    notYet("CreateSite");
}
bool Control::ModifySite(const Variant&, const Variant&, const Variant&, const Variant&,
                         const Variant&, const Variant&) {
    notYet("ModifySite");
}
bool Control::DefaultDoc(Variant&, Variant&) { notYet("DefaultDoc"); }
bool Control::DeleteSite(const Variant&, const Variant&) { notYet("DeleteSite"); }
bool Control::SiteStatus(const Variant&, const Variant&) { notYet("SiteStatus"); }
Variant Control::Computer() { notYet("Computer"); }
bool Control::ChkFolder(const Variant&) { notYet("ChkFolder"); }
bool Control::AddUserToGroup(const Variant&, const Variant&) { notYet("AddUserToGroup"); }
Variant Control::CreateNtUser(const Variant&, const Variant&, const Variant&, const Variant&) {
    notYet("CreateNtUser");
}
Variant Control::DeleteNtUser(const Variant&) { notYet("DeleteNtUser"); }
Variant Control::RndStr(const Variant&) { notYet("RndStr"); }
Variant Control::GetNtPass() { notYet("GetNtPass"); }
Variant Control::CreatePool(const Variant&) { notYet("CreatePool"); }

}  // namespace tarnwick::component
