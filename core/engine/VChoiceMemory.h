#pragma once
// What the user chose for what they typed: each executed result or action is remembered as (text,
// identity), and a later search for that text, or for a text it starts with, ranks the chosen item
// first. Kept in a small file of the user's under local application data, saved whole through an
// atomic replace; a damaged file is ignored (and replaced at the next save), never a crash.
#include "VxApi.h"
#include "engine/VSearchQuery.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class VX_CORE_API VChoiceMemory {
public:
    // About two weeks: a choice counts half as much after it.
    static constexpr double kHalfLifeDays = 14.0;
    // Entries kept at most; past it the weakest (oldest and least chosen) go.
    static constexpr std::size_t kMaxEntries = 2000;

    // path: the file; empty means defaultPath().
    explicit VChoiceMemory(std::string path = std::string());
    VChoiceMemory(const VChoiceMemory&) = delete;
    VChoiceMemory& operator=(const VChoiceMemory&) = delete;

    // "<local application data>\Verbinox\Choices.vxc"; empty when there is no such folder.
    static std::string defaultPath();
    const std::string& getPath() const { return path; }

    // Reads the file; a missing or damaged one leaves the memory empty (false).
    bool load();
    // Writes the file through an atomic replace; false when it could not be written.
    bool save() const;
    // Forgets everything and removes the file.
    void clear();

    // Remembers that the item was chosen for text (as typed; compared trimmed and lower-cased), at now
    // (seconds since 1970, UTC). Drops the weakest entries past kMaxEntries. Reads the file first when
    // it was never read, so that the next save keeps the choices it held.
    void record(const std::string& text, PropertyType type, const std::string& value, int64_t now);
    // The items chosen for text or for a longer text that starts with it, with their weights (each
    // choice counts 1, halved every kHalfLifeDays of age; an exact text counts more than a longer one),
    // strongest first.
    std::vector<VLearnedItem> lookup(const std::string& text, int64_t now) const;
    std::size_t size() const;

    static int64_t currentTime();

private:
    struct Entry {
        std::string text; // trimmed, lower-cased
        PropertyType type;
        std::string value;
        double count;     // decayed to lastUsed
        int64_t lastUsed; // seconds since 1970
    };
    std::string path;
    mutable std::mutex guard;
    std::vector<Entry> entries;
    bool fileRead = false; // load or clear ran: entries are the file's
};
