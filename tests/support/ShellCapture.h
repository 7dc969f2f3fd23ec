#pragma once
// Captures shell requests instead of starting programs, for as long as it lives.
#include "util/Shell.h"

#include <string>
#include <vector>

class ShellCapture {
public:
    struct Request {
        std::string file, parameters, directory;
    };

    ShellCapture() : previous_(vx::setShellOpenHook(&ShellCapture::capture)) {
        requests().clear();
        answer() = true;
    }
    ~ShellCapture() { vx::setShellOpenHook(previous_); }
    ShellCapture(const ShellCapture&) = delete;
    ShellCapture& operator=(const ShellCapture&) = delete;

    static std::vector<Request>& requests() {
        static std::vector<Request> list;
        return list;
    }
    // What the pretend shell answers.
    static bool& answer() {
        static bool value = true;
        return value;
    }

private:
    static bool capture(const std::string& file, const std::string& parameters,
                        const std::string& directory) {
        requests().push_back({file, parameters, directory});
        return answer();
    }
    vx::ShellOpenHook previous_;
};
