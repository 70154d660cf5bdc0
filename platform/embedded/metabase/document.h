// The metabase as a state document, for `tarnwick platform dump` and `load`:
//
//   {"keys": [{"path": "/LM/W3SVC/2", "class": "IIsWebServer", "state": 2,
//              "properties": {"ServerBindings": {"type": "list", "value": [":80:a.com"]},
//                             "MaxConnections": {"type": "number", "value": 4294967295}}}]}
//
// Keys are listed parents first; "state" belongs to sites only (started 2,
// stopped 4; a loaded site without it is stopped). A loaded property may also
// be given without its type ("MaxConnections": 4294967295, "ServerBindings":
// [":80:a.com"]): it then takes its schema type. The machine key /LM is not
// listed; it always exists. A key's properties are its own: inherited values
// are not listed. Flags are listed as their DWORD ("AccessFlags": 513); a
// loaded key may still give them as the Booleans that older documents held
// ("AccessRead": true), each setting or clearing its bit in the key's DWORD
// (the one the key gives, else one with no bit set). A key of class IIsObject
// has no KeyType.
//
// A secret (a property the metabase keeps encrypted, such as
// AnonymousUserPass) is listed as {"type": "secret", "sha256": "<digest>"},
// never with its text; a loaded one may be given so (its text then unknown),
// as {"type": "secret"} alone, or as its text. A property the schema does not
// know loads when its type is given and is listed like the others.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

#include "platform/embedded/metabase/storage.h"

namespace tarnwick::platform::metabase {

nlohmann::json dumpDocument(MetabaseStorage& storage);

// Replaces every key of the storage with those of `document`. The document is
// checked completely first (known classes and properties, values of the
// property's type, a parent for every key that may contain it, no duplicate
// keys): a LoadError whose message begins with the JSON path of the problem,
// under `where`, leaves the storage as it was.
void loadDocument(MetabaseStorage& storage, const nlohmann::json& document,
                  std::string_view where = "metabase");

}  // namespace tarnwick::platform::metabase
