#pragma once
// Stands in for the user asked whether an address may be opened, for as long as it lives: records each
// question and gives the answer set in answer() (No at first).
#include "engine/VVerbinoxCore.h"

#include <string>
#include <vector>

class UrlConfirmCapture {
public:
    UrlConfirmCapture() : previous_(VVerbinoxCore::setUrlConfirmHook(&UrlConfirmCapture::confirm)) {
        asked().clear();
        answer() = false;
    }
    ~UrlConfirmCapture() { VVerbinoxCore::setUrlConfirmHook(previous_); }
    UrlConfirmCapture(const UrlConfirmCapture&) = delete;
    UrlConfirmCapture& operator=(const UrlConfirmCapture&) = delete;

    static std::vector<std::string>& asked() {
        static std::vector<std::string> list;
        return list;
    }
    static bool& answer() {
        static bool value = false;
        return value;
    }

private:
    static bool confirm(const std::string& url) {
        asked().push_back(url);
        return answer();
    }
    VVerbinoxCore::UrlConfirmHook previous_;
};
