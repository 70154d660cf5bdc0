// The SQLite storage serves reads from a copy it keeps in memory and keeps
// that copy up to date with its own writes. These tests run one sequence of
// writes and reads on it and on the memory storage, which keeps no copy, and
// require the same answer to every read: a copy that kept a removed key, lost
// an inserted one, listed children out of order or kept an old value shows
// up as a difference.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <random>

#include "platform/embedded/metabase/memory_storage.h"
#include "platform/embedded/metabase/sqlite_storage.h"

namespace tarnwick::testing {
namespace {

namespace mb = platform::metabase;
using mb::PropertyValue;

struct Storages {
    mb::MemoryMetabaseStorage plain;
    platform::embedded::SqliteMetabaseStorage copied{platform::embedded::Store::inMemory()};

    void both(const std::function<void(mb::MetabaseStorage&)>& change) {
        change(plain);
        change(copied);
    }
};

// Everything a read can tell about `path` and its children, as text.
std::string observe(mb::MetabaseStorage& storage, const std::string& path) {
    std::string seen;
    auto key = storage.findKey(path);
    seen += key ? key->path + " " + key->keyClass + " " + std::to_string(key->state.value_or(0))
                : "absent";
    for (const auto& [name, value] : storage.properties(path)) {
        seen += " " + name + "=" +
                (value.type() == mb::PropertyType::String ? value.text()
                                                          : std::to_string(value.number()));
    }
    for (const char* name : {"Path", "ServerSize"}) {
        auto value = storage.property(path, name);
        seen += std::string(" ") + name + ":" + (value ? "set" : "unset");
    }
    seen += " |";
    for (const auto& child : storage.childKeys(path)) seen += " " + child.path;
    seen += " |";
    storage.forEachChild(path, "Path", [&](const mb::KeyRecord& child, const PropertyValue* value) {
        seen += " " + child.path + "=" + (value ? value->text() : "-");
    });
    return seen;
}

// Paths as the metabase is asked for them, in any letter case.
const char* const kSites[] = {"/LM/W3SVC/1", "/LM/W3SVC/2", "/LM/W3SVC/3", "/LM/W3SVC/4"};

TEST(MetabaseCopy, AnswersAsAStorageWithoutACopyThroughRandomChanges) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Storages storages;
        storages.both([](mb::MetabaseStorage& s) {
            s.insertKey({"/LM/W3SVC", "IIsWebService", {}});
        });
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        int written = 0;
        for (int step = 0; step < 120; ++step) {
            std::string site = kSites[pick(4)];
            std::string root = site + "/ROOT";
            std::string target = pick(2) ? site : root;
            switch (pick(6)) {
                case 0:  // a site, and sometimes its root, where they are missing
                    if (!storages.plain.findKey(site)) {
                        storages.both([&](mb::MetabaseStorage& s) {
                            s.insertKey({site, "IIsWebServer", 2});
                        });
                    }
                    if (!storages.plain.findKey(root) && pick(2)) {
                        storages.both([&](mb::MetabaseStorage& s) {
                            s.insertKey({root, "IIsWebVirtualDir", {}});
                        });
                    }
                    break;
                case 1:  // a site with everything below it
                    if (storages.plain.findKey(target)) {
                        storages.both([&](mb::MetabaseStorage& s) { s.removeSubtree(target); });
                    }
                    break;
                case 2:  // a value written and overwritten
                    if (storages.plain.findKey(target)) {
                        auto value = PropertyValue::string("D:\\Web\\" + std::to_string(++written));
                        storages.both([&](mb::MetabaseStorage& s) {
                            s.writeProperties(target, {{"Path", value}});
                        });
                    }
                    break;
                case 3:
                    if (storages.plain.findKey(site)) {
                        uint32_t state = pick(2) ? 2 : 4;
                        storages.both([&](mb::MetabaseStorage& s) { s.setState(site, state); });
                    }
                    break;
                default: {  // reads, which fill the copy before the next change
                    std::string asked = target;
                    if (pick(2)) {
                        for (char& c : asked) c = static_cast<char>(std::tolower(c));
                    }
                    ASSERT_EQ(observe(storages.copied, asked), observe(storages.plain, asked))
                        << "step " << step;
                    ASSERT_EQ(observe(storages.copied, "/LM/W3SVC"),
                              observe(storages.plain, "/LM/W3SVC"))
                        << "step " << step;
                }
            }
        }
    }
}

// The cases the random walk is most likely to meet only by luck.
struct CopyCase {
    const char* name;
    std::function<void(mb::MetabaseStorage&)> script;
};

const CopyCase kCopyCases[] = {
    {"a key read just before its removal is gone",
     [](mb::MetabaseStorage& s) {
         s.property("/LM/W3SVC/2/ROOT", "Path");
         s.removeSubtree("/LM/W3SVC/2");
     }},
    {"a removed site leaves the listing, the rest keep their order",
     [](mb::MetabaseStorage& s) {
         s.childKeys("/LM/W3SVC");
         s.removeSubtree("/LM/W3SVC/1");
     }},
    {"a site inserted after the listing joins it at the end, with its values",
     [](mb::MetabaseStorage& s) {
         s.childKeys("/LM/W3SVC");
         s.insertKey({"/LM/W3SVC/9", "IIsWebServer", 4});
         s.writeProperties("/LM/W3SVC/9", {{"Path", PropertyValue::string("D:\\Web\\new")}});
     }},
    {"a site removed and made again under the same number starts empty",
     [](mb::MetabaseStorage& s) {
         s.property("/LM/W3SVC/2", "Path");
         s.removeSubtree("/LM/W3SVC/2");
         s.insertKey({"/LM/W3SVC/2", "IIsWebServer", 2});
     }},
    {"a value written after the listing is what the walk over the children reads",
     [](mb::MetabaseStorage& s) {
         s.forEachChild("/LM/W3SVC", "Path", [](const mb::KeyRecord&, const PropertyValue*) {});
         s.writeProperties("/LM/W3SVC/1", {{"Path", PropertyValue::string("D:\\Web\\moved")}});
     }},
};

void PrintTo(const CopyCase& copyCase, std::ostream* out) { *out << copyCase.name; }

class MetabaseCopyCases : public ::testing::TestWithParam<CopyCase> {};

TEST_P(MetabaseCopyCases, AnswerAsAStorageWithoutACopy) {
    Storages storages;
    storages.both([](mb::MetabaseStorage& s) {
        s.insertKey({"/LM/W3SVC", "IIsWebService", {}});
        for (const char* site : {"/LM/W3SVC/1", "/LM/W3SVC/2", "/LM/W3SVC/3"}) {
            s.insertKey({site, "IIsWebServer", 2});
            s.insertKey({std::string(site) + "/ROOT", "IIsWebVirtualDir", {}});
            s.writeProperties(std::string(site) + "/ROOT",
                              {{"Path", PropertyValue::string(std::string("D:\\") + site)}});
            s.writeProperties(site, {{"Path", PropertyValue::string("site")}});
        }
    });
    storages.both(GetParam().script);
    for (const char* path :
         {"/LM/W3SVC", "/LM/W3SVC/1", "/LM/W3SVC/2", "/LM/W3SVC/2/ROOT", "/LM/W3SVC/9"}) {
        EXPECT_EQ(observe(storages.copied, path), observe(storages.plain, path)) << path;
    }
}

INSTANTIATE_TEST_SUITE_P(Script, MetabaseCopyCases, ::testing::ValuesIn(kCopyCases),
                         [](const auto& param) { return "Case" + std::to_string(param.index); });

}  // namespace
}  // namespace tarnwick::testing
