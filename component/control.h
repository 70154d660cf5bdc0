// Class Control: the automation object that the panel's ASP pages create as
// "Tarnwick.Control". One object serves one page.
//
// Where each member lives:
//   frame.cpp          IsChkUser, System, ShowIP, OnStartPage, OnEndPage, ChkUser, ShowErr
//   login_session.cpp  login, logout, IsAdmin, GetCache
//   site_status.cpp    SiteStatus, DefaultDoc, Computer
//   toolkit_members.cpp  RndStr, GetNtPass, CreateNtUser, AddUserToGroup, DeleteNtUser,
//                      ChkFolder, CreatePool (over the shared routines in toolkit/)
//   create_site.cpp    CreateSite
//   modify_site.cpp    ModifySite
//   delete_site.cpp    DeleteSite
//   site_guard.cpp     which sites, folders and accounts a site member may touch
//   activity_call.cpp  the operation record and the activity log's line of each
//                      member call that changes something (the public members
//                      there run the bodies named in lower case in the files above)
//   operation_repair.cpp  unfinished operations and their repair (`check`)
//
// Members that need the page objects (Request, Response, Server, Session)
// raise error 91 "Object variable or With block variable not set", and write
// nothing, when called outside OnStartPage ... OnEndPage: the page objects
// are not set then.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/error.h"
#include "automation/variant.h"
#include "component/operation_record.h"
#include "platform/asp.h"
#include "platform/services.h"
#include "toolkit/site_folders.h"

namespace tarnwick::component {

using automation::Variant;

class Control {
public:
    // The platform services a member needs must be present when it is called;
    // a missing one fails the call with error 91.
    explicit Control(platform::Services services = {}) : services_(std::move(services)) {}

    // The operating-system user that runs a command (tarnwick, tarnwick.exe):
    // the activity log names it when the page's session holds no panel login.
    void setCommandUser(std::string user) { commandUser_ = std::move(user); }

    // Operations that started and never ended: the records in the log folder
    // whose process is gone (or that say they ended, but stayed). Needs the
    // page objects, as the members do; raises the platform's error when the
    // folder cannot be read.
    std::vector<OperationRecord> unfinishedOperations();
    // Finishes or undoes one unfinished operation, as a call of its own
    // ("Repair") that is recorded and logged, and removes its record. Each
    // thing done or left goes to `done`, one line each. False, with the
    // error page's message in `done`, when a step failed: the record stays,
    // and the repair can be made again.
    bool repairOperation(const OperationRecord& record, std::vector<std::string>& done);

    // Frame.
    bool IsChkUser() const { return isChkUser_; }
    void putIsChkUser(bool value) { isChkUser_ = value; }
    const Variant& System() const { return system_; }
    void putSystem(const Variant& value) { system_ = value; }
    const Variant& ShowIP() const { return showIP_; }
    void putShowIP(const Variant& value) { showIP_ = value; }
    void OnStartPage(const std::shared_ptr<platform::ScriptingContext>& PassedScriptingContext);
    void OnEndPage();
    Variant ChkUser();
    Variant ShowErr(const Variant& Str);

    // Sites.
    Variant CreateSite(const Variant& HostUser, const Variant& HostPath, const Variant& HostDomain,
                       const Variant& HostIIS, const Variant& HostBand, const Variant& HostPool,
                       const Variant& HostDoc);
    bool ModifySite(const Variant& SiteSN, const Variant& NewDomain, const Variant& NewBand,
                    const Variant& NewIIS, const Variant& NewDoc, const Variant& UserName);
    bool DefaultDoc(Variant& SiteNum, Variant& Doc);
    bool DeleteSite(const Variant& SiteNum, const Variant& SitePath);
    bool SiteStatus(const Variant& SiteNum, const Variant& DoWhat);
    Variant Computer();

    // Toolkit.
    bool ChkFolder(const Variant& sFolder);
    bool AddUserToGroup(const Variant& strUsername, const Variant& strGroupname);
    Variant CreateNtUser(const Variant& UserName, const Variant& PassWord, const Variant& FullName,
                         const Variant& Info);
    Variant DeleteNtUser(const Variant& UserName);
    Variant RndStr(const Variant& StrLen);
    Variant GetNtPass();
    Variant CreatePool(const Variant& AppName);

    // Panel login session.
    Variant login(const Variant& ologinuser, const Variant& ologinpass, const Variant& oadmin_user);
    Variant logout();
    Variant IsAdmin();
    Variant GetCache();

private:
    // The page objects; each raises error 91 outside OnStartPage ... OnEndPage.
    platform::Request& request() const;
    platform::Response& response() const;
    platform::Server& server() const;
    platform::Session& session() const;
    // The platform services; each raises error 91 when the platform has none.
    platform::Directory& directory() const;
    platform::Advapi32& advapi32() const;
    platform::RandomSource& random() const;
    platform::AnsiCodePage& ansi() const;
    platform::MachineLock& machineLock() const;
    // The computer name as text, from Computer() afresh at each call.
    std::string computerName();
    // The binding ":80:" + hostPrefix + domain, preceded by the request's
    // LOCAL_ADDR when ShowIP is True. A failing step leaves it "".
    std::string binding(automation::ErrorState& err, const Variant& domain,
                        std::string_view hostPrefix);
    // Binds a directory object under resume-next handling.
    automation::ObjectRef bindStep(automation::ErrorState& err,
                                   const std::function<std::string()>& path);

    // The error page of a failed step: "无法完成指定操作." with the step's error number.
    void showFailure(const automation::ErrorState& err);
    // The path of site `number`'s key.
    std::string sitePath(int64_t number);
    // True when a bound key is a web site (class IIsWebServer); a class that
    // cannot be read leaves err set.
    bool isWebSite(automation::ErrorState& err, const automation::ObjectRef& key);
    // Binds the web site `number`. When it cannot be bound or its class read,
    // `unreachable` reports it; a key that is no web site shows
    // "参数出错,请检查!"; either way nothing is returned.
    automation::ObjectRef bindWebSite(automation::ErrorState& err, int64_t number,
                                      const std::function<void()>& unreachable);
    // The web sites under the web service; err set when the list or a key's
    // class cannot be read, so that no check passes on a partial list.
    std::vector<automation::ObjectRef> webSites(automation::ErrorState& err,
                                                automation::Dispatch& service);
    // The folders a site's folder may not be, contain or lie inside: the
    // system's and the installer's, the master control site's, and the root
    // folders of the sites other than `ownSite`. err set when one cannot be read.
    // The numbers of the sites whose names are numbers written plainly (as
    // CreateSite binds them) go to `siteNumbers`, sorted, when given.
    std::vector<std::string> foldersOfOthers(automation::ErrorState& err,
                                             const std::vector<automation::ObjectRef>& sites,
                                             std::optional<int64_t> ownSite,
                                             std::vector<int64_t>* siteNumbers = nullptr);
    // The machine-wide lock that keeps two pages (threads of one worker
    // process, or processes of their own) from binding one host name: held
    // from the check that no other site binds it until the bindings are
    // stored. A wait past 30 seconds or a lock that cannot be reached
    // leaves err set and gives nothing.
    std::unique_ptr<platform::MachineLock::Held> holdBindings(automation::ErrorState& err);
    // Whether `folder` may hold a site beside `others` (toolkit::mayHoldSite),
    // each path judged by the folder the platform says it names; nothing,
    // with err set, when the platform cannot say.
    std::optional<bool> folderMayHoldSite(automation::ErrorState& err, std::string_view folder,
                                          const std::vector<std::string>& others);
    // What a path names, as the platform answers it.
    toolkit::PathResolver pathNames();
    // The Path of site `number`'s root directory; nothing when the site has
    // no root or the root no Path, and nothing with err set when it cannot be
    // read.
    std::optional<std::string> rootFolderOf(automation::ErrorState& err, int64_t number);
    // The bodies of the members that the activity log records.
    Variant createSite(const Variant& HostUser, const Variant& HostPath, const Variant& HostDomain,
                       const Variant& HostIIS, const Variant& HostBand, const Variant& HostPool,
                       const Variant& HostDoc);
    bool modifySite(const Variant& SiteSN, const Variant& NewDomain, const Variant& NewBand,
                    const Variant& NewIIS, const Variant& NewDoc, const Variant& UserName);
    bool defaultDoc(Variant& SiteNum, Variant& Doc);
    bool deleteSite(const Variant& SiteNum, const Variant& SitePath);
    bool siteStatus(const Variant& SiteNum, const Variant& DoWhat);
    bool chkFolder(const Variant& sFolder);
    bool addUserToGroup(const Variant& strUsername, const Variant& strGroupname);
    Variant createNtUser(const Variant& UserName, const Variant& PassWord, const Variant& FullName,
                         const Variant& Info);
    Variant deleteNtUser(const Variant& UserName);
    Variant createPool(const Variant& AppName);

    // Runs `body` and, for a call from outside the component (not one member
    // calling another), keeps its operation record while it runs and writes
    // its line to the activity log; see activity_call.cpp.
    struct LoggedCall;
    Variant logged(const LoggedCall& call, const std::function<Variant()>& body);
    // The folder of the records and the log, through the page's FileSystemObject.
    LogFolder& logFolder();
    // The name that the log and the records give the caller.
    std::string actor();
    // Whether the system's ANSI code page holds a character, for the log's escaping.
    KeepsCharacter keepsCharacter();
    // Writes the record of a call before it changes anything; false, with
    // err set, when it cannot be written.
    bool beginRecord(automation::ErrorState& err, const LoggedCall& call,
                     std::chrono::system_clock::time_point when);
    // Adds a step to the running call's record before the change it names;
    // false, with err set, when it cannot be written: the change is not made.
    bool recordStep(automation::ErrorState& err, std::string_view kind,
                    const std::vector<std::string>& values);
    // Removes the running call's record (or, failing that, notes its end in it).
    void finishRecord(std::string_view outcome);
    // The line of a finished call; a line that cannot be written is dropped.
    void writeActivity(const LoggedCall& call, const Variant* result,
                       const automation::AutomationError* error, int64_t milliseconds,
                       std::chrono::system_clock::time_point when);

    // What CreateSite made so far, and taking it back when a later step fails.
    struct SiteCreation;
    // A repair's undo: each removal made, and the error of the first step
    // that failed or could not judge a part (that part stays).
    struct UndoReport {
        std::vector<std::string> done;
        automation::ErrorState err;
    };
    // With a report, as a repair undoes a call whose process died, each part
    // is removed only when it is still what the record names: the site when
    // its anonymous user is the account, the pool and the account when no
    // site names them, the folder when no site's folder lies in it.
    void undoCreation(const SiteCreation& made, UndoReport* report = nullptr);
    // What the web sites name, upper-case: anonymous accounts (without the
    // computer's prefix), the pools of their roots, and (as they are
    // written) the folders no site folder may be, hold or lie in. err set
    // when one cannot be read.
    struct SiteNames {
        std::set<std::string> accounts, pools;
        std::vector<std::string> folders;
    };
    SiteNames namesOfSites(automation::ErrorState& err);
    // Whether site `number` exists and names `account` as its anonymous user.
    bool siteHoldsAccount(automation::ErrorState& err, int64_t number, std::string_view account);
    // Whether a metabase key exists (a path that is not found is no error).
    bool keyExists(automation::ErrorState& err, const std::string& path);
    // The repair of an unfinished CreateSite and DeleteSite.
    bool undoSiteCreation(const OperationRecord& record, std::vector<std::string>& done);
    bool finishSiteDeletion(const OperationRecord& record, std::vector<std::string>& done);

    platform::Services services_;

    bool isChkUser_ = false;
    std::shared_ptr<platform::ScriptingContext> context_;
    std::shared_ptr<platform::Application> application_;
    std::shared_ptr<platform::Request> request_;
    std::shared_ptr<platform::Response> response_;
    std::shared_ptr<platform::Server> server_;
    std::shared_ptr<platform::Session> session_;
    Variant system_;
    Variant showIP_;
    std::string commandUser_;
    // How many logged members are running: only the outermost writes a line.
    int loggedDepth_ = 0;
    // Whether the last ChkFolder created its folder.
    bool madeFolder_ = false;
    // The message of the error page shown during the current logged call.
    std::optional<std::string> shownError_;
    std::optional<LogFolder> logFolder_;
    // The file name of the running call's record.
    std::optional<std::string> record_;
};

}  // namespace tarnwick::component
