// The results list's rows: placing by rank, merging twins, the rows of more results and of nothing
// found, a folder's entries, and the text of those rows.
#include "ElementRows.h"

#include "model/VResult.h"
#include "util/VxText.h"

#include <windows.h>

#include <algorithm>

namespace {

// Results are the list's; actions stay the core's.
void releaseResults(const std::vector<VElement*>& elements) {
    for (VElement* element : elements) {
        if (VElementRows::isResult(element))
            element->deleteThis();
    }
}

void releaseTwins(const std::map<const VElement*, std::vector<VResult*>>& twins) {
    for (const auto& row : twins) {
        for (VResult* twin : row.second)
            twin->deleteThis();
    }
}

// Where a result leads: its default property's type and value. Empty for a result without one, which
// then never shares a row.
std::string addressOf(const VResult* result) {
    if (result->getPropertyCount() == 0)
        return std::string();
    try {
        const VProperty* property = result->getDefaultProperty();
        if (!property)
            return std::string();
        return std::to_string(static_cast<int>(property->getPropertyType())) + '\n' + property->getValue();
    } catch (...) {
        // A plug-in's own default property may fail: the result keeps a row of its own.
        return std::string();
    }
}

uint64_t keyOf(const VElement* element) {
    return static_cast<const VResult*>(element)->getRankKey();
}

// A file row for path: its first property is that file.
bool isFileAt(const VElement* element, const std::string& path) {
    if (path.empty() || !VElementRows::isResult(element))
        return false;
    const auto* result = static_cast<const VResult*>(element);
    if (result->getPropertyCount() == 0)
        return false;
    const VProperty* first = result->getProperty(0);
    // The folder browser upper-cases the drive letter; Windows paths ignore case anyway.
    return first->isValid() && first->getPropertyType() == VProperty::FileType &&
           ::lstrcmpiA(first->getValue().c_str(), path.c_str()) == 0;
}

// The digit grouping of a locale's LOCALE_SGROUPING ("3;0", "3;2;0", "3") as NUMBERFMTW wants it
// (3, 32, 30): a trailing ";0" repeats the last group, no such end groups only once.
UINT groupingOf(const wchar_t* pattern) {
    std::wstring digits;
    for (const wchar_t* c = pattern; *c; ++c) {
        if (*c >= L'0' && *c <= L'9')
            digits += *c;
    }
    const std::size_t length = ::wcslen(pattern);
    if (length >= 2 && pattern[length - 2] == L';' && pattern[length - 1] == L'0')
        digits.pop_back();
    else
        digits += L'0';
    if (digits.empty() || digits.size() > 9)
        return 3;
    return static_cast<UINT>(std::stoul(digits));
}

} // namespace

VElementRows::~VElementRows() {
    releaseResults(elements);
    releaseTwins(twins);
}

bool VElementRows::isResult(const VElement* element) {
    return element->getElementType() == VElement::ResultElement;
}

int VElementRows::place(VElement* const* added, int count, bool ranked, const VElement* kept) {
    std::vector<VElement*> actions, arrived;
    // Rows whose result a better twin took over: the row moves to the twin's place.
    std::vector<const VElement*> replaced;
    for (int i = 0; i < count; ++i) {
        VElement* element = added[i];
        if (!element)
            continue;
        if (!isResult(element)) {
            actions.push_back(element);
            continue;
        }
        auto* result = static_cast<VResult*>(element);
        const std::string address = addressOf(result);
        const auto found = address.empty() ? addresses.end() : addresses.find(address);
        if (found == addresses.end()) {
            if (!address.empty())
                addresses.emplace(address, result);
            arrived.push_back(result);
            continue;
        }
        VResult* row = found->second;
        if (!ranked || result->getRankKey() <= row->getRankKey()) {
            twins[row].push_back(result);
            continue;
        }
        std::vector<VResult*> carried;
        const auto rowTwins = twins.find(row);
        if (rowTwins != twins.end()) {
            carried.swap(rowTwins->second);
            twins.erase(rowTwins);
        }
        carried.push_back(row);
        twins[result] = std::move(carried);
        found->second = result;
        replaced.push_back(row);
        arrived.push_back(result);
        if (kept == row)
            kept = result;
    }
    const auto gone = [&](const VElement* e) {
        return std::find(replaced.begin(), replaced.end(), e) != replaced.end();
    };
    std::vector<VElement*> rows;
    rows.reserve(elements.size() + actions.size() + arrived.size());
    for (VElement* element : elements) {
        if (!isResult(element))
            rows.push_back(element);
    }
    rows.insert(rows.end(), actions.begin(), actions.end());
    const std::size_t firstResult = rows.size();
    for (VElement* element : elements) {
        if (isResult(element) && !gone(element))
            rows.push_back(element);
    }
    for (VElement* element : arrived) {
        if (!gone(element))
            rows.push_back(element);
    }
    // Stable: equal keys keep the order they came in, the rows already shown first.
    if (ranked)
        std::stable_sort(rows.begin() + static_cast<std::ptrdiff_t>(firstResult), rows.end(),
                         [](const VElement* a, const VElement* b) { return keyOf(a) > keyOf(b); });
    elements.swap(rows);
    if (!kept)
        return NoRow;
    const auto at = std::find(elements.begin(), elements.end(), kept);
    return at == elements.end() ? NoRow : static_cast<int>(at - elements.begin());
}

int VElementRows::append(VElement* const* added, int count, const std::string& path) {
    int remembered = NoRow;
    for (int i = 0; i < count; ++i) {
        if (!added[i])
            continue;
        elements.push_back(added[i]);
        if (isFileAt(added[i], path))
            remembered = getCount() - 1;
    }
    return remembered;
}

void VElementRows::addMore(uint64_t count) {
    more = count > UINT64_MAX - more ? UINT64_MAX : more + count;
}

bool VElementRows::showNothingFound(const std::string& text, const std::vector<std::string>& sources) {
    if (!elements.empty() || more > 0)
        return false;
    nothingFound = L"No results for " + vx::widened(text);
    nothingSearched.clear();
    for (const std::string& source : sources)
        nothingSearched += (nothingSearched.empty() ? L"Searched: " : L", ") + vx::widened(source);
    return true;
}

bool VElementRows::withdrawNothingFound() {
    if (nothingFound.empty())
        return false;
    nothingFound.clear();
    nothingSearched.clear();
    return true;
}

std::wstring VElementRows::getNothingFoundText() const {
    if (nothingFound.empty())
        return std::wstring();
    return nothingSearched.empty() ? nothingFound : nothingFound + L"\n" + nothingSearched;
}

void VElementRows::clear() {
    // Emptied before the results go, so nothing reached from their destructors finds them listed.
    std::vector<VElement*> old;
    std::map<const VElement*, std::vector<VResult*>> oldTwins;
    old.swap(elements);
    oldTwins.swap(twins);
    addresses.clear();
    more = 0;
    nothingFound.clear();
    nothingSearched.clear();
    releaseResults(old);
    releaseTwins(oldTwins);
}

VElement* VElementRows::getElement(int index) const {
    return index >= 0 && index < getCount() ? elements[static_cast<std::size_t>(index)] : nullptr;
}

std::vector<VResult*> VElementRows::getTwins(int index) const {
    const VElement* element = getElement(index);
    if (!element)
        return {};
    const auto found = twins.find(element);
    return found != twins.end() ? found->second : std::vector<VResult*>();
}

std::wstring VElementRows::moreText(uint64_t count) {
    const std::wstring digits = std::to_wstring(count);
    wchar_t separator[8] = L",";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0)
        ::lstrcpyW(separator, L",");
    wchar_t pattern[16] = L"3;0";
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SGROUPING, pattern, 16) == 0)
        ::lstrcpyW(pattern, L"3;0");
    wchar_t decimal[] = L".";
    NUMBERFMTW format{0, 0, groupingOf(pattern), decimal, separator, 1};
    wchar_t grouped[64];
    if (::GetNumberFormatW(LOCALE_USER_DEFAULT, 0, digits.c_str(), &format, grouped, 64) > 0)
        return L"and " + std::wstring(grouped) + L" more";
    std::wstring plain;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            plain += L',';
        plain += digits[i];
    }
    return L"and " + plain + L" more";
}
