#include "platform/embedded/asp_page.h"

#include "automation/error.h"
#include "automation/text.h"

namespace tarnwick::platform::embedded {

using automation::Variant;
namespace errors = automation::errors;

namespace {

class PageApplication : public Application {
public:
    Variant value(std::string_view key) override {
        auto found = values_.find(automation::toLowerAscii(key));
        return found == values_.end() ? Variant() : found->second;
    }
    void setValue(std::string_view key, const Variant& value) override {
        values_[automation::toLowerAscii(key)] = value;
    }

private:
    std::map<std::string, Variant> values_;
};

class PageRequestObject : public Request {
public:
    explicit PageRequestObject(std::map<std::string, std::string> variables) {
        for (auto& [name, value] : variables) variables_[automation::toUpperAscii(name)] = value;
    }
    Variant serverVariable(std::string_view name) override {
        auto found = variables_.find(automation::toUpperAscii(name));
        return found == variables_.end() ? Variant() : Variant(found->second);
    }

private:
    std::map<std::string, std::string> variables_;
};

class PageResponse : public Response {
public:
    void write(const Variant& text) override {
        auto piece = automation::concatText(text);
        if (!state.ended) state.body += piece;
    }
    void end() override { state.ended = true; }
    void redirect(std::string_view url) override {
        if (state.ended) return;
        state.redirect = std::string(url);
        state.body =
            "<head><title>Object moved</title></head>\r\n"
            "<body><h1>Object Moved</h1>This object may be found <a HREF=\"" +
            std::string(url) + "\">here</a>.</body>\r\n";
        state.ended = true;
    }

    ResponseState state;
};

class PageServer : public Server {
public:
    PageServer(std::string siteRoot, ObjectFactory objects)
        : siteRoot_(std::move(siteRoot)), objects_(std::move(objects)) {}

    ObjectRef createObject(std::string_view progId) override {
        ObjectRef object = objects_ ? objects_(progId) : nullptr;
        if (!object) {
            automation::raise(
                errors::kCannotCreateObject,
                "Server.CreateObject failed: invalid ProgID \"" + std::string(progId) + "\"");
        }
        return object;
    }

    // A virtual path beginning with "/" is taken from the site root; any
    // other path from the root as well, the pages of the panel living there.
    std::string mapPath(std::string_view path) override {
        std::string relative = automation::replaceAll(path, "/", "\\");
        while (!relative.empty() && relative.front() == '\\') relative.erase(0, 1);
        std::string root = siteRoot_;
        while (!root.empty() && root.back() == '\\') root.pop_back();
        return relative.empty() ? root : root + "\\" + relative;
    }

private:
    std::string siteRoot_;
    ObjectFactory objects_;
};

class PageSession : public Session {
public:
    PageSession(std::shared_ptr<SessionStore> sessions, std::string id)
        : sessions_(std::move(sessions)), id_(std::move(id)) {}

    Variant value(std::string_view key) override { return sessions_->value(id_, key); }
    void setValue(std::string_view key, const Variant& value) override {
        sessions_->setValue(id_, key, value);
    }
    std::string sessionId() override { return id_; }

private:
    std::shared_ptr<SessionStore> sessions_;
    std::string id_;
};

}  // namespace

struct EmbeddedPage::Objects {
    std::shared_ptr<SessionStore> sessions;
    std::string sessionId;
    std::shared_ptr<PageApplication> application = std::make_shared<PageApplication>();
    std::shared_ptr<PageRequestObject> request;
    std::shared_ptr<PageResponse> response = std::make_shared<PageResponse>();
    std::shared_ptr<PageServer> server;
    std::shared_ptr<PageSession> session;
};

EmbeddedPage::EmbeddedPage(std::shared_ptr<Store> store, PageRequest request, ObjectFactory objects)
    : objects_(std::make_unique<Objects>()) {
    objects_->sessions = std::make_shared<SessionStore>(std::move(store));
    objects_->sessionId = objects_->sessions->resume(request.sessionId);
    if (!request.serverVariables.contains("LOCAL_ADDR")) {
        request.serverVariables["LOCAL_ADDR"] = "127.0.0.1";
    }
    objects_->request = std::make_shared<PageRequestObject>(std::move(request.serverVariables));
    objects_->server =
        std::make_shared<PageServer>(std::move(request.siteRoot), std::move(objects));
    objects_->session = std::make_shared<PageSession>(objects_->sessions, objects_->sessionId);
}

EmbeddedPage::~EmbeddedPage() = default;

std::shared_ptr<Application> EmbeddedPage::application() { return objects_->application; }
std::shared_ptr<Request> EmbeddedPage::request() { return objects_->request; }
std::shared_ptr<Response> EmbeddedPage::response() { return objects_->response; }
std::shared_ptr<Server> EmbeddedPage::server() { return objects_->server; }
std::shared_ptr<Session> EmbeddedPage::session() { return objects_->session; }

Variant EmbeddedPage::invoke(std::string_view, automation::InvokeKind, std::span<Variant>) {
    automation::raise(errors::kMemberNotFound);
}

const ResponseState& EmbeddedPage::responseState() const { return objects_->response->state; }

const std::string& EmbeddedPage::sessionId() const { return objects_->sessionId; }

std::vector<std::pair<std::string, Variant>> EmbeddedPage::sessionValues() {
    return objects_->sessions->values(objects_->sessionId);
}

}  // namespace tarnwick::platform::embedded
