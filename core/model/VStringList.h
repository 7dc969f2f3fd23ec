#pragma once
// A plain list of narrow strings, as the core hands them to plug-ins: the standard vector of strings
// under its own class name, with value semantics and nothing added.
#include <string>
#include <utility>
#include <vector>

class VStringList : public std::vector<std::string> {
public:
    using std::vector<std::string>::vector;
    VStringList() = default;
    // Inherited constructors do not take the base itself; a list converts from a plain vector too.
    VStringList(const std::vector<std::string>& other) : std::vector<std::string>(other) {}
    VStringList(std::vector<std::string>&& other) noexcept : std::vector<std::string>(std::move(other)) {}
};
