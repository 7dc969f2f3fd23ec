#pragma once
// The rows of the results list without its window: actions first, then results best first, results
// with one address merged into one row, the row that counts more results and the row that says a
// search found nothing.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class VElement;
class VResult;

// Holds the results it is given and releases them when cleared or destroyed; actions stay the core's.
class VElementRows {
public:
    enum { NoRow = -1 };

    VElementRows() = default;
    ~VElementRows();
    VElementRows(const VElementRows&) = delete;
    VElementRows& operator=(const VElementRows&) = delete;

    // Puts each element in its place: actions after the actions already there, results by rank key
    // (ranked; equal keys, or ranking off, in arrival order). A result with the same address (default
    // property type and value) as a row joins that row, which shows the better of the two. kept is the
    // selected row's element, or null; returns the row that stands for it now (a better twin takes its
    // row over), NoRow without one.
    int place(VElement* const* added, int count, bool ranked, const VElement* kept);
    // Appends a folder's entries as they come. Returns the last row whose file is path (in any case),
    // NoRow when none is or path is empty.
    int append(VElement* const* added, int count, const std::string& path);
    // Sums what the sources found beyond what they handed on, stopping at the largest count.
    void addMore(uint64_t count);
    uint64_t getMore() const { return more; }
    // The search for text found nothing in sources: false, and nothing changes, while there are rows.
    bool showNothingFound(const std::string& text, const std::vector<std::string>& sources);
    // False when there was no such row.
    bool withdrawNothingFound();
    // "No results for ..." and "Searched: ..." (empty without sources); both empty while there is none.
    const std::wstring& getNothingFound() const { return nothingFound; }
    const std::wstring& getNothingSearched() const { return nothingSearched; }
    // Both lines joined by a line feed.
    std::wstring getNothingFoundText() const;
    // Releases the results and forgets the other rows.
    void clear();

    // The rows of elements.
    int getCount() const { return static_cast<int>(elements.size()); }
    // Every row drawn: the elements, the row of more results and the row that says nothing was found.
    int rowCount() const { return getCount() + (more > 0 ? 1 : 0) + (nothingFound.empty() ? 0 : 1); }
    // Null outside 0..getCount()-1.
    VElement* getElement(int index) const;
    // The other results of the row's address, which the row stands for.
    std::vector<VResult*> getTwins(int index) const;

    // What the row of more results reads, the count grouped as the user's locale groups digits:
    // "and 4,812 more".
    static std::wstring moreText(uint64_t count);
    static bool isResult(const VElement* element);

private:
    std::vector<VElement*> elements;
    // Results merged into a row, by the row's element.
    std::map<const VElement*, std::vector<VResult*>> twins;
    // The row's result for each address ("type\nvalue"), for merging.
    std::unordered_map<std::string, VResult*> addresses;
    uint64_t more = 0;
    std::wstring nothingFound, nothingSearched;
};
