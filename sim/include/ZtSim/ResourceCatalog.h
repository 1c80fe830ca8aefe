// ResourceCatalog.h - the localised texts of a simulated event logger
// service: message texts, event class names, cause/remedy and detail lists,
// from resource files (JSON) and a built-in default set.
//
// Resource file:
//   {
//     "classes": [
//       { "class": "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}",
//         "name": {"1033": "Axes", "1031": "Achsen"},
//         "details": [ {"name": ..., "text": ..., "comment": ...} ],
//         "events": [
//           { "id": 17,
//             "text": {"1033": "Axis {0}: following error {1:.2f} mm", "1031": "..."},
//             "causeRemedy": [ {"id": ..., "cause": ..., "remedy": ...} ],
//             "details": [ {"name": ..., "text": ..., "comment": ...} ] } ] } ]
//   }
// Every text is a localised text: a JSON string (the same in every
// language) or an object whose member names are language ids in decimal
// ("1033" English, "1031" German, ...) and whose values are strings. Every
// member but "class" and "id" is optional; "comment" is allowed everywhere;
// other unknown members make the file invalid. Message texts use the
// placeholders of MessageFormat.h.
//
// Lookup: the files loaded last are asked first, the built-in set last; the
// first that has the item (class name, event text, list) answers. A text is
// taken in the language asked for, else in English (1033), else in the
// lowest language id it has; the language used is reported. Unknown items:
// a message text "event <id> of class <GUID>" (1033), a class name that is
// the class GUID text (1033), lists without entries (the language asked for).
//
// Cache: a loaded file is read and parsed once; ClearCache forgets the
// parsed contents, so each file is read again at its next use (a file that
// has become unreadable then contributes nothing until it is readable).
//
// Threads: every call may come from any thread.
#ifndef ZT_SIM_RESOURCE_CATALOG_H
#define ZT_SIM_RESOURCE_CATALOG_H

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventRecord.h"

namespace ZtSim {

constexpr uint32_t kLangEnglish = 1033;
constexpr uint32_t kLangGerman = 1031;

// A parsed resource file.
struct ResourceSet;

class ResourceCatalog {
public:
    struct Text {
        std::string text;
        uint32_t langId = kLangEnglish;
    };
    // Entries of three texts: cause/remedy {id, cause, remedy}; details {name, text, comment}.
    using Entry = std::array<std::string, 3>;
    struct List {
        std::vector<Entry> entries;
        uint32_t langId = kLangEnglish;
    };

    ResourceCatalog();  // the built-in set
    ~ResourceCatalog();

    // Loads (or loads again) a file: 0, 1804 (no such file) or 1798 (not a
    // valid resource file, with the reason in error); nothing changes unless 0.
    uint32_t Load(const std::string& path, std::string& error);
    // 0, or 1804 when the path is not loaded.
    uint32_t Unload(const std::string& path);
    void ClearCache();
    std::vector<std::string> Loaded() const;  // paths, in load order

    Text MessageText(const EventKey& key, const std::vector<EventArgument>& arguments, uint32_t langId) const;
    Text ClassName(const EventGuid& eventClass, uint32_t langId) const;
    List CauseRemedy(const EventGuid& eventClass, uint32_t eventId, uint32_t langId) const;
    List ClassDetails(const EventGuid& eventClass, uint32_t langId) const;
    List EventDetails(const EventGuid& eventClass, uint32_t eventId, uint32_t langId) const;

    // Parses resource JSON; empty on success, else why not.
    static std::string Parse(const std::string& json, std::shared_ptr<const ResourceSet>& out);

private:
    struct File {
        std::string path;
        mutable std::shared_ptr<const ResourceSet> parsed;  // null: to be read again
    };
    List EventList(const EventGuid& eventClass, uint32_t eventId, uint32_t langId, bool causeRemedy) const;
    // The sets to ask, first to last; mutex_ held.
    std::vector<std::shared_ptr<const ResourceSet>> Sets() const;

    mutable std::mutex mutex_;
    std::vector<File> files_;  // load order
    std::shared_ptr<const ResourceSet> builtIn_;
};

// The built-in resource JSON (the texts of the bundled scenarios' classes).
const char* DefaultResourceJson();

}  // namespace ZtSim

#endif  // ZT_SIM_RESOURCE_CATALOG_H
