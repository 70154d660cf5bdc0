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

// The errors ASP raises from its Server object: the script sees the HRESULT,
// the page's error report names the ASP code ("ASP 0177 : 800401f3").
constexpr int32_t kInvalidClassString = static_cast<int32_t>(0x800401F3u);
constexpr int32_t kAspFailure = static_cast<int32_t>(0x80004005u);

class PageServer : public Server {
public:
    PageServer(std::string siteRoot, std::string pagePath, ObjectFactory objects)
        : siteRoot_(std::move(siteRoot)),
          pagePath_(std::move(pagePath)),
          objects_(std::move(objects)) {}

    // A ProgID that names no class fails with ASP 0177 carrying the COM
    // error, as CLSIDFromProgID reports it (800401F3, invalid class string).
    ObjectRef createObject(std::string_view progId) override {
        ObjectRef object = objects_ ? objects_(progId) : nullptr;
        if (!object) {
            automation::raise(kInvalidClassString, "ASP 0177: Server.CreateObject Failed: \"" +
                                                       std::string(progId) +
                                                       "\" is no valid class string");
        }
        return object;
    }

    // A path beginning with "/" or "\" is a full virtual path, taken from the
    // site root; any other path is relative to the folder of the page being
    // run. "." and ".." are resolved, never above the site root. The
    // characters ASP refuses raise ASP 0173.
    std::string mapPath(std::string_view path) override {
        if (path.find_first_of("*?<>,:;'\"]") != std::string_view::npos ||
            path.find("//") != std::string_view::npos ||
            path.find("\\\\") != std::string_view::npos) {
            automation::raise(kAspFailure, "ASP 0173: Invalid Path Character");
        }
        std::string virtualPath = automation::replaceAll(path, "\\", "/");
        if (virtualPath.empty() || virtualPath.front() != '/') {
            auto slash = pagePath_.rfind('/');
            std::string folder = slash == std::string::npos ? "/" : pagePath_.substr(0, slash + 1);
            virtualPath = folder + virtualPath;
        }
        std::vector<std::string> elements;
        for (auto& element : automation::split(virtualPath, "/")) {
            if (element.empty() || element == ".") continue;
            if (element == "..") {
                if (elements.empty()) {
                    automation::raise(kAspFailure, "ASP 0175: Disallowed Path Characters");
                }
                elements.pop_back();
                continue;
            }
            elements.push_back(std::move(element));
        }
        std::string result = siteRoot_;
        while (!result.empty() && result.back() == '\\') result.pop_back();
        for (const auto& element : elements) result += "\\" + element;
        return result;
    }

private:
    std::string siteRoot_;
    std::string pagePath_;
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
    objects_->server = std::make_shared<PageServer>(
        std::move(request.siteRoot), std::move(request.pagePath), std::move(objects));
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
